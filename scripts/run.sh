#!/usr/bin/env bash
# Installs what is missing, builds, creates the default vendor database from the
# IEEE listing when there is none, and starts Zorvane in the folder that holds it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh zorvane zorvane-db zorvane-listing
mkdir -p data
if [ ! -f data/oui.mdb ] && [ -x build/tools/zorvane-db ]; then
  build/tools/zorvane-db import --from /usr/share/ieee-data data/oui.mdb
fi
cd data
exec ../build/app/zorvane "$@"
