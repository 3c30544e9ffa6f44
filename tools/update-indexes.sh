# Sourced by the scripts that install Debian packages: update_indexes [APT-GET OPTIONS...]
# fetches the package indexes.  A mirror in the middle of a sync fails an index now and
# then: it tries again, then goes on with the indexes that did arrive (the install that
# follows fails if a package cannot be found).
update_indexes() {
  local try
  for try in 1 2 3; do
    apt-get "$@" update -q && return 0
    [ "$try" -eq 3 ] || sleep $((try * 15))
  done
  echo "$(basename "$0"): some package indexes could not be fetched; going on with the rest" >&2
}
