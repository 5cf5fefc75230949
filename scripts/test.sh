#!/usr/bin/env bash
# Runs every test: installs what is missing, builds, then ctest (under a virtual
# display, so the windows' tests need no screen of their own).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --test
scripts/build.sh
# The second independent reader of the files we write: the mdb-reader package.
if [ ! -d build/npm/node_modules/mdb-reader ]; then
  mkdir -p build/npm
  npm install --silent --no-save --no-package-lock --no-audit --no-fund \
      --prefix build/npm mdb-reader@3 >/dev/null
fi
cd build
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 "$@"
