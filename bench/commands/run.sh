#!/usr/bin/env bash
# Whole-process record commands against SQLite: zorvane-db add, update and
# delete on the vendor database made from the full IEEE listing, and sqlite3
# making the same change to the same records of a table holding the same
# records (imported from zorvane-db export's CSV, so in the same order). Both
# are durable: SQLite as it comes (rollback journal, synchronous=FULL) syncs
# its journal, the folder and the database as zorvane-db does.
# Target: each zorvane-db command within 2x of sqlite3. Then find, update and
# delete by --where Code= on an Access-style file with an index on Code
# against sqlite3 with an index on Code: target 1.0x.
# usage: bench/commands/run.sh [BUILD_DIR] [ROUNDS] [LISTING_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
rounds=${2:-15}
listing=${3:-/usr/share/ieee-data}
source "$here/../timing.sh"

db_tool=$build/tools/zorvane-db
[ -x "$db_tool" ] || { echo "missing $db_tool (build first)" >&2; exit 1; }
command -v sqlite3 >/dev/null || { echo "sqlite3 is missing (scripts/deps.sh --test)" >&2; exit 1; }

# On the build's disk, not a memory file system, so syncs cost what they cost.
tmp=$(mktemp -d "$build/bench-commands.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
db=$tmp/oui.mdb sql=$tmp/oui.sqlite
"$db_tool" import --from "$listing" "$db" >/dev/null
"$db_tool" export "$db" oui >"$tmp/oui.csv"
sqlite3 "$sql" ".import --csv $tmp/oui.csv oui"
records=$(sqlite3 "$sql" "SELECT count(*) FROM oui")
echo "$records records; best of $rounds runs each, whole process"

# Record N in table order: the Nth row of the import, as rowid order has it.
nth="(SELECT rowid FROM oui ORDER BY rowid LIMIT 1 OFFSET"
printf '%-8s %12s %12s %8s\n' command zorvane-db sqlite3 ratio
worst=0
row() {  # NAME ZORVANE_SECONDS SQLITE_SECONDS [start: not a record command]
  local ratio
  ratio=$(awk -v z="$2" -v s="$3" 'BEGIN { printf "%.2f", z / s }')
  printf '%-8s %9.2f ms %9.2f ms %7sx\n' "$1" "$(awk -v t="$2" 'BEGIN { print t * 1000 }')" \
    "$(awk -v t="$3" 'BEGIN { print t * 1000 }')" "$ratio"
  [ -n "${4:-}" ] || worst=$(awk -v a="$worst" -v b="$ratio" 'BEGIN { print (b > a) ? b : a }')
}
# Each pair runs in turn, so both meet the same load.
pair() {  # NAME "ZORVANE-DB ARGUMENTS" "SQL" [start]
  local times
  times=$(best_of_pair "$rounds" "\"$db_tool\" $2" "sqlite3 \"$sql\" \"$3\"")
  row "$1" ${times% *} ${times#* } ${4:-}
}
pair start "help" "SELECT 1" start
# Every update sets a new value (SQLite skips a write that changes nothing).
bench_n=0
pair update "update \"$db\" oui 10 \"Vendor=Bench run \$((++bench_n))\"" "UPDATE oui SET Vendor = 'Bench run \$bench_n' WHERE rowid = $nth 10)"
pair add "add --allow-duplicate \"$db\" oui Code=0A-0B-0C Vendor='Bench run'" "INSERT INTO oui (Code, Vendor) VALUES ('0A-0B-0C', 'Bench run')"
pair delete "delete \"$db\" oui 100" "DELETE FROM oui WHERE rowid = $nth 100)"
# Both made the same changes: the same codes in the same order.
vendors() { awk -F, 'NR > 1 && /^[0-9A-Z][0-9A-Z]-/ { print $1 }'; }
[ "$("$db_tool" export "$db" oui | vendors | md5sum)" = "$(sqlite3 -csv -header "$sql" "SELECT * FROM oui ORDER BY rowid" | vendors | md5sum)" ] ||
  { echo "the two tables differ after the commands" >&2; exit 1; }
[ "$(sqlite3 "$sql" "SELECT Vendor FROM oui WHERE rowid = $nth 10)")" = "Bench run $rounds" ] &&
  "$db_tool" export "$db" oui | grep -c "Bench run $rounds" >/dev/null ||
  { echo "the updates did not all take place" >&2; exit 1; }
"$db_tool" check "$db" >/dev/null || { echo "check failed after the benchmark" >&2; exit 1; }
echo "largest record-command ratio: $(awk -v w="$worst" 'BEGIN { print w }')   (target <= 2)"

# Records by key: the vendor file as Access makes it (an AutoNumber ID and an
# index on Code, bench/indexed's maker) against SQLite's table with an index
# on Code. Each round changes another code, the same in both.
make_tool=$build/bench/indexed/bench_indexed_make
[ -x "$make_tool" ] || { echo "missing $make_tool (build first)" >&2; exit 1; }
keyed_rounds=${KEYED_ROUNDS:-25}
"$db_tool" import --from "$listing" "$tmp/plain.mdb" >/dev/null
"$make_tool" "$tmp/plain.mdb" "$tmp/keyed.mdb" >/dev/null
rm -f "$sql"
"$db_tool" export "$tmp/plain.mdb" oui >"$tmp/oui.csv"
sqlite3 "$sql" ".import --csv $tmp/oui.csv oui" "CREATE INDEX oui_code ON oui (Code)"
db=$tmp/keyed.mdb
# Codes held once, spread over all of them (from 00-... to FC-...).
mapfile -t codes < <(awk -F, 'NR > 1 && /^[0-9A-F][0-9A-F]-[0-9A-F][0-9A-F]-[0-9A-F][0-9A-F],/ { print $1 }' "$tmp/oui.csv" |
  sort | uniq -u |
  awk -v n=$((2 * keyed_rounds)) '{ code[NR] = $0 } END { for (i = 1; i <= n; i++) print code[int(i * NR / (n + 1))] }')
echo
echo "by key, with an index on Code: best of $keyed_rounds runs each, whole process"
printf '%-8s %12s %12s %8s\n' command zorvane-db sqlite3 ratio
worst=0
keyed() {  # NAME "ZORVANE-DB ARGUMENTS" "SQL" (both may use $k, the round)
  local times
  k=0
  times=$(best_of_pair "$keyed_rounds" "\"$db_tool\" $2" "sqlite3 \"$sql\" \"$3\"; k=\$((k + 1))")
  row "$1" ${times% *} ${times#* }
}
keyed find "find \"$db\" oui --where Code=\${codes[\$k]}" "SELECT * FROM oui WHERE Code = '\${codes[\$k]}'"
keyed update "update \"$db\" oui --where Code=\${codes[\$k]} \"Vendor=Keyed run \$k\"" \
  "UPDATE oui SET Vendor = 'Keyed run \$k' WHERE Code = '\${codes[\$k]}'"
keyed delete "delete \"$db\" oui --where Code=\${codes[\$((k + keyed_rounds))]}" \
  "DELETE FROM oui WHERE Code = '\${codes[\$((k + keyed_rounds))]}'"
# Both made the same changes: the same codes left, as many vendors renamed.
[ "$("$db_tool" export "$db" oui | awk -F, '/^[0-9]+,[0-9A-F][0-9A-F]-/ { print $2 }' | sort | md5sum)" = \
  "$(sqlite3 "$sql" "SELECT Code FROM oui" | sort | md5sum)" ] &&
  [ "$("$db_tool" export "$db" oui | grep -c 'Keyed run')" = "$(sqlite3 "$sql" "SELECT count(*) FROM oui WHERE Vendor LIKE 'Keyed run%'")" ] ||
  { echo "the two tables differ after the keyed commands" >&2; exit 1; }
"$db_tool" check "$db" >/dev/null || { echo "check failed after the keyed commands" >&2; exit 1; }
echo "largest keyed ratio: $(awk -v w="$worst" 'BEGIN { print w }')   (target <= 1.0)"
