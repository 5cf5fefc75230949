#!/usr/bin/env bash
# Times one durable Update, Add and Delete on the default vendor database
# against a bare fsync'ed 4 KiB write in the same folder and run (target: a
# command costs at most 4 such writes), plus the same commands as whole
# zorvane-db runs.
# usage: bench/durability/run.sh [BUILD_DIR] [ROUNDS] [LISTING_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
rounds=${2:-25}
listing=${3:-/usr/share/ieee-data}

db_tool=$build/tools/zorvane-db
bench=$build/bench/durability/bench_durability_commands
for f in "$db_tool" "$bench"; do
  [ -x "$f" ] || { echo "missing $f (build first)" >&2; exit 1; }
done

# On the build's disk, not a memory file system, so syncs cost what they cost.
tmp=$(mktemp -d "$build/bench-durability.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
db=$tmp/oui.mdb
"$db_tool" import --from "$listing" "$db" >/dev/null

"$bench" "$db" "$rounds" | tee "$tmp/results.txt"
# The commands left a sound file behind.
"$db_tool" check "$db" >/dev/null || { echo "check failed after the benchmark" >&2; exit 1; }

# The same commands as whole zorvane-db runs (process start, open, command).
if "$db_tool" help | grep -q "zorvane-db update"; then
  now() { date +%s%N; }
  best=
  for _ in $(seq 5); do
    s=$(now); "$db_tool" update "$db" oui 10 Vendor="Bench run" >/dev/null; e=$(now)
    t=$((e - s)); if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  base=$(awk '/^baseline/ { print $(NF-1) }' "$tmp/results.txt")
  awk -v ns="$best" -v b="$base" \
    'BEGIN { printf "%-40s %9.3f ms  %6.2f x baseline (whole process, best of 5)\n", "zorvane-db update", ns / 1e6, ns / 1e6 / b }'
fi
ratio_max=$(awk '/x baseline/ && /^(update|add|delete)/ { r = $(NF-2); if (r > m) m = r } END { printf "%.2f", m }' "$tmp/results.txt")
echo "largest record command / baseline = $ratio_max   (target <= 4)"
