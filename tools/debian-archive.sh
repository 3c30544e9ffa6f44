# Sourced by the scripts that fetch from the Debian archive this machine's apt uses, so that
# no archive is named in the repository.  apt itself reads its sources (the one-line
# sources.list files and the deb822 .sources files alike, with their options and disabled
# entries), and `apt-get indextargets` tells each entry's archive, suite and component, and
# the Origin and Codename of its Release file.  An entry is the Debian archive's when its
# Origin is Debian.  apt lists only the indexes it has fetched with their Release file's
# fields, so when one is missing the indexes are fetched first (update_indexes, as root).
. "$(dirname "${BASH_SOURCE[0]}")/update-indexes.sh"

# Lines of ORIGIN|CODENAME|URI|SUITE|COMPONENT, one per fetched index of packages.
debian_archive_targets() {
  local where='$(REPO_URI)|$(RELEASE)|$(COMPONENT)' configured fetched
  configured=$(apt-get indextargets --no-release-info --format "$where" 'Created-By: Packages' |
    sort -u)
  fetched=$(apt-get indextargets --format "$where" 'Created-By: Packages' | sort -u)
  if [ "$configured" != "$fetched" ] && [ "$(id -u)" -eq 0 ]; then
    update_indexes >&2
  fi
  apt-get indextargets --format '$(ORIGIN)|$(CODENAME)|'"$where" 'Created-By: Packages' | sort -u
}

# The Debian archive's entries, one a line: URI SUITE COMPONENT...
debian_archive_entries() {
  debian_archive_targets | awk -F'|' '
    $1 == "Debian" {
      key = $3 " " $4
      if (!(key in components)) { order[++n] = key; components[key] = "" }
      if (index(components[key] " ", " " $5 " ") == 0) components[key] = components[key] " " $5
    }
    END { for (i = 1; i <= n; i++) print order[i] components[order[i]] }'
}

# The URI of the Debian archive that serves this system's release (CODENAME: its name, as
# /etc/os-release gives it); nothing when apt uses none.
debian_archive_mirror() {
  debian_archive_targets | awk -F'|' -v codename="$1" '
    $1 == "Debian" && $2 == codename && !found { print $3; found = 1 }'
}
