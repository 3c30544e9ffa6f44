#!/usr/bin/env bash
# The tests of the WebAssembly build against the command line of a build folder:
#   web/tests/run.sh BUILD      (BUILD configured with -DKORVADEX_BUILD_WEB=ON)
# installs the tests' npm packages from the lockfile, then runs the package's and the page's
# tests with `node --test` (the page in /usr/bin/chromium, or KORVADEX_CHROMIUM).
set -euo pipefail
build=$(cd "$1" && pwd)
cd "$(dirname "$0")"
npm ci --no-audit --no-fund --silent
export KORVADEX_CLI=$build/korvadex KORVADEX_PACKAGE=$build/web/package
export KORVADEX_PAGE=$build/web/korvadex.html
node --test --test-reporter=spec package.test.mjs install.test.mjs big-stream.test.mjs \
  page.test.mjs
