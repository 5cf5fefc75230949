#!/usr/bin/env bash
# Builds the Debian package build/package/zorvane_<version>_amd64.deb with CPack.
# Usage: scripts/package.sh [--no-build]   (--no-build: package what is built)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" != "--no-build" ]; then
  scripts/build.sh zorvane zorvane-db zorvane-listing zorvane-addresses zorvane_desktop
fi
cd build
rm -rf package/_CPack_Packages
cpack -G DEB -B "$PWD/package" >/dev/null
rm -rf package/_CPack_Packages
ls "$PWD"/package/zorvane_*_amd64.deb
