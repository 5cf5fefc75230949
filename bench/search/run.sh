#!/usr/bin/env bash
# Times the lookup window's search over the default vendor database (built from
# the IEEE listing with zorvane-db import), each search beside the bare
# record-set walk for the same term: name cisco, code *0C, code - (every record
# matches, the worst case). Targets: cisco within 5x of the bare walk and under
# 150 ms; the worst case under 2 s.
# usage: bench/search/run.sh [BUILD_DIR] [ROUNDS] [LISTING_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
rounds=${2:-5}
listing=${3:-/usr/share/ieee-data}

db_tool=$build/tools/zorvane-db
bench=$build/bench/search/bench_search
for f in "$db_tool" "$bench"; do
  [ -x "$f" ] || { echo "missing $f (build first)" >&2; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$db_tool" import --from "$listing" "$tmp/oui.mdb" >/dev/null
# The offscreen platform notes each window size hint it cannot pass on.
QT_QPA_PLATFORM=offscreen "$bench" "$tmp/oui.mdb" "$rounds" 2> >(grep -v -e propagateSizeHints -e XDG_RUNTIME_DIR >&2)
