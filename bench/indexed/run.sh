#!/usr/bin/env bash
# Record commands on an indexed vendor file against the same commands on the
# unindexed one: zorvane-db update, add and delete on table "oui" of the full
# IEEE listing as zorvane-db import makes it, and on the same records with an
# AutoNumber "ID" primary key and an index on "Code" (made by
# bench_indexed_make through the table
# writer, record by record). Target: each command within 2x of the unindexed.
# usage: bench/indexed/run.sh [BUILD_DIR] [ROUNDS] [LISTING_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
rounds=${2:-15}
listing=${3:-/usr/share/ieee-data}
source "$here/../timing.sh"

db_tool=$build/tools/zorvane-db
make_tool=$build/bench/indexed/bench_indexed_make
for t in "$db_tool" "$make_tool"; do [ -x "$t" ] || { echo "missing $t (build first)" >&2; exit 1; }; done

# On the build's disk, not a memory file system, so syncs cost what they cost.
tmp=$(mktemp -d "$build/bench-indexed.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
plain=$tmp/plain.mdb indexed=$tmp/indexed.mdb
records=$("$db_tool" import --from "$listing" "$plain" | sed -n 's/^[^:]*: \([0-9]*\) records.*/\1/p')
seconds=$("$make_tool" "$plain" "$indexed")
echo "$records records; the indexed file made record by record through the writer in $seconds s"
echo "indexes: ID (AutoNumber, primary key) and Code"
echo "best of $rounds runs each, whole process"

printf '%-8s %12s %12s %8s\n' command indexed unindexed ratio
worst=0
pair() {  # NAME "ARGUMENTS, FILE as \$f"
  local times z s ratio
  times=$(best_of_pair "$rounds" "f=\"$indexed\"; \"$db_tool\" $2" "f=\"$plain\"; \"$db_tool\" $2")
  z=${times% *} s=${times#* }
  ratio=$(awk -v z="$z" -v s="$s" 'BEGIN { printf "%.2f", z / s }')
  printf '%-8s %9.2f ms %9.2f ms %7sx\n' "$1" "$(awk -v t="$z" 'BEGIN { print t * 1000 }')" \
    "$(awk -v t="$s" 'BEGIN { print t * 1000 }')" "$ratio"
  worst=$(awk -v a="$worst" -v b="$ratio" 'BEGIN { print (b > a) ? b : a }')
}
bench_n=0
pair update "update \"\$f\" oui 10 \"Vendor=Bench run \$((++bench_n))\""
pair add "add --allow-duplicate \"\$f\" oui Code=0A-0B-0C 'Vendor=Bench run'"
pair delete "delete \"\$f\" oui 100"
for f in "$plain" "$indexed"; do
  "$db_tool" check "$f" >/dev/null || { echo "check failed on $f after the benchmark" >&2; exit 1; }
done
[ "$("$db_tool" export "$indexed" oui | grep -c 'Bench run')" = "$("$db_tool" export "$plain" oui | grep -c 'Bench run')" ] ||
  { echo "the two files differ after the commands" >&2; exit 1; }
echo "largest ratio: $worst   (target <= 2)"
