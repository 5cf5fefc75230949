#!/usr/bin/env bash
# Times the Addresses window on a large paste: LINES lines of tool output and
# logs (three in four with an address, from the listing's codes) pasted with
# Ctrl+V into the window over the vendor database imported from the IEEE
# listing, until the table shows every address; beside it, the baseline
# `zorvane-db lookup --csv` over the same text. Prints the time, the ratio,
# and the longest time the window did not answer meanwhile. Target: filled
# within 1 s, no stall of 200 ms or more. Runs under xvfb-run.
# usage: bench/addresses/run.sh [BUILD_DIR] [LINES] [LISTING_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
lines=${2:-100000}
listing=${3:-/usr/share/ieee-data}
rounds=3
paste=$build/bench/addresses/bench_addresses_paste
db_tool=$build/tools/zorvane-db
[ -x "$paste" ] && [ -x "$db_tool" ] || { echo "build bench_addresses_paste and zorvane-db first" >&2; exit 1; }
. "$here/../timing.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$db_tool" import --from "$listing" "$tmp/oui.mdb" >/dev/null
python3 - "$listing/oui.csv" "$lines" >"$tmp/text" <<'PY'
import csv, random, sys
rng = random.Random(26)
with open(sys.argv[1], newline="", encoding="utf-8") as f:
    codes = [row["Assignment"] for row in csv.DictReader(f)]
def address():
    d = rng.choice(codes) + "".join(rng.choice("0123456789abcdef") for _ in range(6))
    return d.lower()
forms = [
    lambda d: "10.0.%d.%d dev eth0 lladdr %s REACHABLE" % (rng.randrange(256), rng.randrange(256), ":".join(d[i:i+2] for i in range(0, 12, 2))),
    lambda d: "Dec  7 04:21:%02d gw dnsmasq-dhcp[812]: DHCPACK(eth0) 10.0.0.5 %s laptop" % (rng.randrange(60), ":".join(d[i:i+2] for i in range(0, 12, 2))),
    lambda d: "  %d    %s    DYNAMIC     Gi1/0/%d" % (rng.randrange(1, 4000), ".".join(d[i:i+4] for i in range(0, 12, 4)), rng.randrange(48)),
    lambda d: "  hardware ethernet %s;" % ":".join(d[i:i+2] for i in range(0, 12, 2)),
]
for n in range(int(sys.argv[2])):
    if n % 4 == 3:
        print("10.0.%d.%d dev eth0 FAILED" % (rng.randrange(256), rng.randrange(256)))
    else:
        print(rng.choice(forms)(address()))
PY
best_fill= best_stall= rows=
for _ in $(seq "$rounds"); do
  read -r pasted filled stall rows < <("$paste" "$tmp/oui.mdb" "$tmp/text")
  if [ -z "$best_fill" ] || awk "BEGIN { exit !($filled < $best_fill) }"; then best_fill=$filled; best_stall=$stall; fi
done
lookup() { "$db_tool" lookup --csv "$tmp/oui.mdb" <"$tmp/text"; }
lookup_s=$(best_of "$rounds" lookup)
printf '%-56s %8s s   %s rows, longest stall %s ms (target: <= 1 s, < 200 ms)\n' \
  "window: Ctrl+V of $lines lines until the table is full" "$best_fill" "$rows" "$best_stall"
printf '%-56s %8s s\n' "baseline: zorvane-db lookup --csv of the same text" "$lookup_s"
printf 'window / lookup = %s\n' "$(awk "BEGIN { printf \"%.1f\", $best_fill / $lookup_s }")"
