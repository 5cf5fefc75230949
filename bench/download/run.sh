#!/usr/bin/env bash
# Times `zorvane-db refresh --download` of a vendor database from a loopback
# server holding the full IEEE listing (tests/listing/listing_server.py) against
# `zorvane-db refresh --from` the same listing in a local folder, in the same
# run; and the check of an up-to-date download folder (conditional requests,
# each answered 304). Each round starts from an empty download folder and a
# fresh copy of a database imported from an older state of the listing
# (bench/refresh/older_listing.py); the copies are not timed.
#   download + refresh / refresh alone   target <= 1.5
#   up-to-date check                     target < 0.1 s
# usage: bench/download/run.sh [BUILD_DIR] [LISTING_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
listing=${2:-/usr/share/ieee-data}
rounds=5

db_tool=$build/tools/zorvane-db
[ -x "$db_tool" ] || { echo "missing $db_tool (build first)" >&2; exit 1; }

tmp=$(mktemp -d)
server=
cleanup() { [ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
. "$here/../timing.sh"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# The site: the listing under the IEEE's own paths, served on loopback only.
for f in oui/oui.txt oui28/mam.txt oui36/oui36.txt iab/iab.txt; do
  mkdir -p "$tmp/site/$(dirname "$f")"
  cp "$listing/$(basename "$f")" "$tmp/site/$f"
done
mkdir -p "$tmp/local"
cp "$listing"/oui.txt "$listing"/mam.txt "$listing"/oui36.txt "$listing"/iab.txt "$tmp/local/"
python3 "$here/../../tests/listing/listing_server.py" "$tmp/site" >"$tmp/port" &
server=$!
for _ in $(seq 100); do [ -s "$tmp/port" ] && break; sleep 0.1; done
url="http://127.0.0.1:$(head -1 "$tmp/port")/ok/all"
export http_proxy= https_proxy= no_proxy= XDG_CACHE_HOME=$tmp/cache

python3 "$here/../refresh/older_listing.py" "$listing" "$tmp/older"
"$db_tool" import --from "$tmp/older" "$tmp/older.mdb" >/dev/null

best_download= best_local=
for _ in $(seq "$rounds"); do
  rm -rf "$tmp/cache"
  cp "$tmp/older.mdb" "$tmp/a.mdb"
  start=$(now); "$db_tool" refresh "$tmp/a.mdb" --download --url "$url" >/dev/null; t=$(( $(now) - start ))
  if [ -z "$best_download" ] || [ "$t" -lt "$best_download" ]; then best_download=$t; fi
  cp "$tmp/older.mdb" "$tmp/b.mdb"
  start=$(now); "$db_tool" refresh "$tmp/b.mdb" --from "$tmp/local" >/dev/null; t=$(( $(now) - start ))
  if [ -z "$best_local" ] || [ "$t" -lt "$best_local" ]; then best_local=$t; fi
done
cmp -s "$tmp/a.mdb" "$tmp/b.mdb" || { echo "the two refreshes wrote different files" >&2; exit 1; }
download_s=$(awk -v ns="$best_download" 'BEGIN { printf "%.4f", ns / 1e9 }')
local_s=$(awk -v ns="$best_local" 'BEGIN { printf "%.4f", ns / 1e9 }')
check_s=$(best_of "$rounds" "$db_tool" download --url "$url" --quiet)

printf '%-48s %8s s\n' "refresh --download from the loopback server" "$download_s"
printf '%-48s %8s s\n' "refresh --from a local folder" "$local_s"
printf 'download + refresh / refresh alone = %s   (target <= 1.5)\n' "$(ratio "$download_s" "$local_s")"
printf '%-48s %8s s   (target < 0.1)\n' "up-to-date check (every file 304)" "$check_s"
