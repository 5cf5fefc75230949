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
# As root, the permission test first runs once from a copy inside a folder only
# root may enter (as a clone in root's home or in a `mktemp -d` folder is): its
# children give up root and must still be able to start.
if [ "$(id -u)" = 0 ]; then
  closed=$(mktemp -d)
  trap 'rm -rf "$closed"' EXIT
  cp build/tests/durability/tst_pagefile_write build/tests/durability/durability_driver "$closed/"
  if ZORVANE_DURABILITY_DRIVER="$closed/durability_driver" QT_QPA_PLATFORM=offscreen \
       "$closed/tst_pagefile_write" readOnlyFileAndFolder >"$closed/log" 2>&1; then
    echo "tst_pagefile_write readOnlyFileAndFolder passed from a folder of mode $(stat -c %a "$closed")"
  else
    cat "$closed/log"
    echo "tst_pagefile_write readOnlyFileAndFolder failed from a folder of mode $(stat -c %a "$closed")"
    exit 1
  fi
fi
cd build
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 "$@"

