#!/usr/bin/env bash
# Times `zorvane-db refresh` of a full vendor database against a fresh
# `zorvane-db import` of the same listing, in the same run. The database is
# imported from an older state of the listing (older_listing.py: 2% of the
# codes missing, 2% under earlier names) and then edited by hand 200 times
# (zorvane-db update, delete and add); the refresh brings it to the listing.
#   refresh / import   target <= 2
# usage: bench/refresh/run.sh [BUILD_DIR] [LISTING_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
listing=${2:-/usr/share/ieee-data}
rounds=5

db_tool=$build/tools/zorvane-db
[ -x "$db_tool" ] || { echo "missing $db_tool (build first)" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
. "$here/../timing.sh"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

python3 "$here/older_listing.py" "$listing" "$tmp/older"
"$db_tool" import --from "$tmp/older" "$tmp/edited.mdb" >/dev/null
# 200 edits spread over the table: 100 vendors renamed, 50 records deleted,
# 50 added.
for i in $(seq 0 199); do
  n=$(( (i * 229) % 45000 ))
  case $((i % 4)) in
    0|1) "$db_tool" update "$tmp/edited.mdb" oui "$n" "Vendor=Edited vendor $i" "Address1=Desk $i" ;;
    2) "$db_tool" delete "$tmp/edited.mdb" oui "$n" ;;
    3) "$db_tool" add "$tmp/edited.mdb" oui "Code=FE-00-$(printf %02X "$i")" "Vendor=Own device $i" ;;
  esac
done

import_s=$(best_of "$rounds" "$db_tool" import --force --from "$listing" "$tmp/fresh.mdb")
# Each round refreshes a new copy of the edited database; the copy is not timed.
best=
for _ in $(seq "$rounds"); do
  cp "$tmp/edited.mdb" "$tmp/work.mdb"
  start=$(now)
  summary=$("$db_tool" refresh "$tmp/work.mdb" --from "$listing" --changes "$tmp/changes.csv")
  t=$(( $(now) - start ))
  if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
done
refresh_s=$(awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }')

echo "${summary#"$tmp/"}"
printf '%-44s %8s s\n' "import of the listing, whole run" "$import_s"
printf '%-44s %8s s   %s lines in --changes\n' "refresh of the edited database, whole run" "$refresh_s" \
  "$(($(wc -l <"$tmp/changes.csv") - 1))"
printf 'refresh / import = %s   (target <= 2)\n' "$(ratio "$refresh_s" "$import_s")"
