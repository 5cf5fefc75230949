#!/usr/bin/env bash
# Configures and builds Zorvane into build/ (warnings are errors when CI is set).
# Usage: scripts/build.sh [TARGET...]   (no target: everything, tests included)
set -euo pipefail
cd "$(dirname "$0")/.."
werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVANE_WERROR=$werror >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build -j"$(nproc)" "${targets[@]}"
