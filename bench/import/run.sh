#!/usr/bin/env bash
# Times the import of the full IEEE listing and the record-set walk over the
# new database, each beside a baseline measured in the same run:
#   import          against its 2 s target, and against sqlite3 .import of the
#                   same records as CSV (zorvane-db export of the new file)
#   walk            against grep -ci over the listing's four .csv files
#                   and against mdb-export oui.mdb oui | grep -ci
# usage: bench/import/run.sh [BUILD_DIR] [TERM] [LISTING_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
term=${2:-0C}
listing=${3:-/usr/share/ieee-data}
rounds=5
walk_rounds=25  # a walk takes milliseconds: more rounds steady its best time

db_tool=$build/tools/zorvane-db
walker=$build/bench/import/bench_import_walk
for f in "$db_tool" "$walker"; do
  [ -x "$f" ] || { echo "missing $f (build first)" >&2; exit 1; }
done
command -v mdb-export >/dev/null || { echo "mdb-export is not installed" >&2; exit 1; }
command -v sqlite3 >/dev/null || { echo "sqlite3 is not installed" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
db=$tmp/oui.mdb

. "$here/../timing.sh"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

csvs=("$listing/oui.csv" "$listing/mam.csv" "$listing/oui36.csv" "$listing/iab.csv")
# grep prints one count per file; the four are added up for the line count.
grep_csv() { grep -ci -- "$term" "${csvs[@]}" || true; }
grep_csv_total() { grep_csv | awk -F: '{ n += $NF } END { print n }'; }
grep_mdb() { mdb-export "$db" oui | grep -ci -- "$term" || true; }
sqlite_import() { rm -f "$tmp/oui.sqlite"; sqlite3 -cmd ".mode csv" "$tmp/oui.sqlite" ".import $tmp/oui.csv oui"; }

summary=$("$db_tool" import --force --from "$listing" "$db")
import_s=$(best_of "$rounds" "$db_tool" import --force --from "$listing" "$db")
"$db_tool" export "$db" oui >"$tmp/oui.csv"
sqlite_s=$(best_of "$rounds" sqlite_import)
read -r matches walk_s walk_by_name_s < <("$walker" "$db" "$term" "$walk_rounds")
walk_process_s=$(best_of "$rounds" "$walker" "$db" "$term" 1)
grep_s=$(best_of "$rounds" grep_csv)
pipeline_s=$(best_of "$rounds" grep_mdb)

echo "$summary"
printf '%-44s %8s s   %s x target (target < 2 s)\n' "import, whole run" "$import_s" "$(ratio "$import_s" 2)"
printf '%-44s %8s s   %s records\n' "baseline: sqlite3 .import of the same CSV" "$sqlite_s" \
  "$(sqlite3 "$tmp/oui.sqlite" 'select count(*) from oui')"
printf 'import / sqlite3 .import    = %s   (target <= 2.5)\n' "$(ratio "$import_s" "$sqlite_s")"
printf '%-44s %8s s   %s matches of \"%s\" in Code\n' "record-set walk (open set, field held)" "$walk_s" "$matches" "$term"
printf '%-44s %8s s\n' "record-set walk (Fields(\"Code\") per record)" "$walk_by_name_s"
printf '%-44s %8s s   (process start, open and one walk)\n' "record-set walk, whole process" "$walk_process_s"
printf '%-44s %8s s   %s lines\n' "baseline: grep -ci over the four .csv" "$grep_s" "$(grep_csv_total)"
printf '%-44s %8s s   %s lines\n' "baseline: mdb-export oui.mdb oui | grep -ci" "$pipeline_s" "$(grep_mdb)"
printf 'walk / grep                 = %s   (target <= 3)\n' "$(ratio "$walk_s" "$grep_s")"
printf 'mdb-export pipeline / walk  = %s   (target >= 20)\n' "$(ratio "$pipeline_s" "$walk_s")"
printf 'walk by name / grep         = %s;  pipeline / walk by name = %s\n' \
  "$(ratio "$walk_by_name_s" "$grep_s")" "$(ratio "$pipeline_s" "$walk_by_name_s")"
printf 'whole walk process / grep   = %s\n' "$(ratio "$walk_process_s" "$grep_s")"
