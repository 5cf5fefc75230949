#!/usr/bin/env bash
# Times `zorvane-db lookup` over the vendor database imported from the IEEE
# listing, each beside a baseline measured in the same run:
#   bulk    COUNT addresses (codes of the listing with random tails, in five
#           notations) through `lookup --csv`, against Python's netaddr
#           (Debian's python3-netaddr) resolving the same addresses one by one.
#           netaddr takes about 0.3 ms an address, so it is timed on the first
#           SAMPLE addresses and its rate extrapolated to COUNT. Target >= 30x.
#           Every answer of ours is checked against the listing's four .csv
#           files; netaddr's answers on the sample too (missing or wrong).
#   single  one address, whole process, against grep -ci over the four .csv
#           files. Target <= 3x.
# usage: bench/lookup/run.sh [BUILD_DIR] [COUNT] [SAMPLE] [LISTING_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
count=${2:-1000000}
sample=${3:-20000}
listing=${4:-/usr/share/ieee-data}
bulk_rounds=3
single_rounds=25

db_tool=$build/tools/zorvane-db
[ -x "$db_tool" ] || { echo "missing $db_tool (build first)" >&2; exit 1; }

# A Python that has netaddr (the first python3 on PATH may be another one).
py=
for p in python3 /usr/bin/python3; do
  if "$p" -c 'import netaddr' 2>/dev/null; then py=$p; break; fi
done
if [ -z "$py" ]; then
  sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get install -y python3-netaddr >/dev/null
  py=/usr/bin/python3
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
db=$tmp/oui.mdb
addresses=$tmp/addresses

. "$here/../timing.sh"
calc() { awk "BEGIN { printf \"$1\", $2 }"; }

"$db_tool" import --from "$listing" "$db" >/dev/null
"$py" "$here/addresses.py" make "$listing" "$count" "$addresses"

bulk() { "$db_tool" lookup --csv "$db" <"$addresses" >"$tmp/ours.csv"; }
bulk_s=$(best_of "$bulk_rounds" bulk)
ours_wrong=$("$py" "$here/addresses.py" check "$listing" "$addresses" "$tmp/ours.csv")
read -r netaddr_s missing wrong wrong_sub failed < <("$py" "$here/addresses.py" netaddr "$listing" "$addresses" "$sample")
netaddr_all_s=$(calc %.1f "$netaddr_s / $sample * $count")

csvs=("$listing/oui.csv" "$listing/mam.csv" "$listing/oui36.csv" "$listing/iab.csv")
grep_csv() { grep -ci -- 001A2B "${csvs[@]}" || true; }
single_s=$(best_of "$single_rounds" "$db_tool" lookup "$db" 00:1a:2b:3c:4d:5e)
grep_s=$(best_of "$single_rounds" grep_csv)

printf '%-52s %9s s   %s addresses/s (target >= 1000000)\n' "lookup --csv, $count addresses, whole run" "$bulk_s" \
  "$(calc %.0f "$count / $bulk_s")"
printf '%-52s %9s    answers that differ from the listing\n' "" "$ours_wrong"
printf '%-52s %9s s   timed on %s, %s addresses/s\n' "baseline: netaddr one by one, $count (extrapolated)" \
  "$netaddr_all_s" "$sample" "$(calc %.0f "$sample / $netaddr_s")"
printf '%-52s %9s    of %s not named at all (%s%%; %s of them netaddr errors)\n' "" "$missing" "$sample" \
  "$(calc %.1f "100 * $missing / $sample")" "$failed"
printf '%-52s %9s    of %s named wrongly (%s%%), %s of them in MA-M, MA-S or IAB blocks\n' "" "$wrong" "$sample" \
  "$(calc %.1f "100 * $wrong / $sample")" "$wrong_sub"
printf '%-52s %9s s\n' "lookup of one address, whole process" "$single_s"
printf '%-52s %9s s\n' "baseline: grep -ci over the four .csv" "$grep_s"
printf 'netaddr / lookup (bulk)    = %s   (target >= 30)\n' "$(calc %.1f "$netaddr_all_s / $bulk_s")"
printf 'one address / grep         = %s   (target <= 3)\n' "$(calc %.2f "$single_s / $grep_s")"
