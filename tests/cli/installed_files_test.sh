#!/usr/bin/env bash
# The files cmake --install puts beside the program:
#   man PAGE        the manual page renders with man -l without a single warning;
#   completion FILE the bash completion loads and completes names, formats and options.
set -uo pipefail
case $1 in
  man)
    warnings=$(MANWIDTH=80 man --warnings=w -l "$2" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
      echo "$warnings"
      exit 1
    fi
    MANWIDTH=80 man -l "$2" 2>/dev/null | grep -q -- "--algorithm NAME" || exit 1
    ;;
  completion)
    . "$2"
    expect() {
      COMP_WORDS=("$@")
      COMP_CWORD=$(($# - 2))
      COMP_WORDS=("${@:1:$#-1}")
      _korvadex
      if [ "${COMPREPLY[*]}" != "${!#}" ]; then
        echo "completing '${*:1:$#-1}': got '${COMPREPLY[*]}', expected '${!#}'"
        exit 1
      fi
    }
    expect korvadex -a sha25 sha256
    expect korvadex -a md5,rmd16 md5,rmd160
    expect korvadex --format b bsd
    expect korvadex --ta --tag
    ;;
esac
