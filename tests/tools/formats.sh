#!/usr/bin/env bash
# zorvane-db export for the programs that name vendors, each file read by the
# program itself, from a vendor database imported from Debian's IEEE listing
# and then edited (a vendor renamed, a code added):
#  - Wireshark's manuf, read by tshark as an unprivileged user through
#    WIRESHARK_DATA_DIR, naming the addresses of a capture made by text2pcap:
#    the renamed vendor, and the longest match for 28- and 36-bit blocks;
#  - arp-scan's --ouifile, read by arp-scan from a capture file of ARP
#    replies (--readpktfromfile: nothing is sent);
#  - nmap-mac-prefixes, read by nmap --datadir scanning the far end of a
#    veth pair between two network namespaces made here (no other network
#    is reached), and held to the form of nmap's own file;
#  - the IEEE's text, which import and refresh read back as the same records;
#  - JSON Lines, one object per record.
# usage: tests/tools/formats.sh TOOLS_BUILD_DIR [LISTING_DIR]
set -euo pipefail
tools=$1
listing=${2:-/usr/share/ieee-data}
db_tool=$tools/zorvane-db
fail() { echo "FAIL: $*" >&2; exit 1; }
for p in tshark text2pcap arp-scan nmap node; do
  command -v "$p" >/dev/null || fail "$p is missing (scripts/deps.sh --test)"
done
# World-readable, so that the unprivileged tshark reaches its files.
tmp=$(mktemp -d /tmp/zorvane-formats.XXXXXX)
chmod 755 "$tmp"
namespaces=()
cleanup() {
  for ns in "${namespaces[@]}"; do ip netns del "$ns" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT

db=$tmp/oui.mdb
"$db_tool" import --from "$listing" "$db" >/dev/null
"$db_tool" update "$db" oui --where Code=00-0C-29 "Vendor=Lab Hypervisors (ours)"
[ "$("$db_tool" add "$db" oui Code=0a:0b:0c 'Vendor=Bench Lab #2' 'Address=Here 1')" -ge 0 ] || fail "add"
"$db_tool" add "$db" oui Code=0A0B0CD00 'Vendor=Bench Block' >/dev/null

# The addresses every program is asked about, with the vendor each must name.
addresses=(00:0c:29:11:22:33 70:b3:d5:f2:f0:01 20:85:93:b1:22:33 0a:0b:0c:d0:0e:0f 0a:0b:0c:ff:00:01)
vendors=("Lab Hypervisors (ours)" "TELEPLATFORMS" "IOG Products LLC" "Bench Block" "Bench Lab #2")
hex() { tr -d ':' <<<"$1" | sed 's/../& /g'; }

# --- Wireshark ---------------------------------------------------------------
mkdir -p "$tmp/wireshark"
"$db_tool" export "$db" oui --format wireshark >"$tmp/wireshark/manuf"
grep -qP '^70:B3:D5:F2:F0:00/36\tTeleplat\tTELEPLATFORMS$' "$tmp/wireshark/manuf" || fail "no 36-bit entry"
grep -qP '^20:85:93:B0:00:00/28\tIogProdu\tIOG Products LLC$' "$tmp/wireshark/manuf" || fail "no 28-bit entry"
# One broadcast frame from each address (an Ethernet header and padding).
for a in "${addresses[@]}"; do
  printf '0000  ff ff ff ff ff ff %s 88 b5 00 00 00 00\n' "$(hex "$a")"
done >"$tmp/frames.txt"
text2pcap -q "$tmp/frames.txt" "$tmp/frames.pcap" >/dev/null 2>&1
chmod -R a+rX "$tmp"
as_nobody=()
[ "$(id -u)" = 0 ] && as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
named=$("${as_nobody[@]}" env HOME=/nonexistent WIRESHARK_DATA_DIR="$tmp/wireshark" \
  tshark -r "$tmp/frames.pcap" -T fields -E separator=/t -e eth.src_resolved -e eth.src.oui_resolved 2>/dev/null)
expected=$(printf '%s\n' "LabHyper_11:22:33	Lab Hypervisors (ours)" "Teleplat_01	IEEE Registration Authority" \
  "IogProdu_01:22:33	IEEE Registration Authority" "BenchBlo_0e:0f	Bench Lab  2" \
  "BenchLab_ff:00:01	Bench Lab  2")
[ "$named" = "$expected" ] || fail "tshark named the addresses:
$named
instead of:
$expected"

# --- arp-scan ----------------------------------------------------------------
"$db_tool" export "$db" oui --format arp-scan >"$tmp/ieee-oui.txt"
grep -qP '^70B3D5F2F\tTELEPLATFORMS$' "$tmp/ieee-oui.txt" || fail "no 36-bit arp-scan prefix"
# An ARP reply from each address, from 10.0.0.2 on, to the scanning host.
n=2
for a in "${addresses[@]}"; do
  printf '0000  02 00 00 00 00 01 %s 08 06 00 01\n0010  08 00 06 04 00 02 %s 0a 00 00 %02x\n0020  02 00 00 00 00 01 0a 00 00 01 00 00 00 00 00 00\n0030  00 00 00 00 00 00 00 00 00 00 00 00\n' \
    "$(hex "$a")" "$(hex "$a")" "$n"
  n=$((n + 1))
done >"$tmp/replies.txt"
text2pcap -q "$tmp/replies.txt" "$tmp/replies.pcap" >/dev/null 2>&1
scanned=$(cd "$tmp" && arp-scan --ouifile="$tmp/ieee-oui.txt" --macfile=/dev/null --readpktfromfile="$tmp/replies.pcap" \
  --interface=lo --retry=1 10.0.0.2 10.0.0.3 10.0.0.4 10.0.0.5 10.0.0.6 2>/dev/null | grep -P '^10\.0\.0\.' | sort)
expected=
n=2
for i in "${!addresses[@]}"; do
  expected+="10.0.0.$n	${addresses[$i]}	${vendors[$i]}"$'\n'
  n=$((n + 1))
done
[ "$scanned" = "${expected%$'\n'}" ] || fail "arp-scan named the replies:
$scanned
instead of:
$expected"

# --- nmap --------------------------------------------------------------------
mkdir -p "$tmp/nmap"
"$db_tool" export "$db" oui --format nmap >"$tmp/nmap/nmap-mac-prefixes"
# The form of nmap's own file: comments, or six hex digits, a blank, a name.
form='^(#.*|[0-9A-F]{6} [^ ].*)$'
grep -qvP "$form" /usr/share/nmap/nmap-mac-prefixes && fail "nmap's own file has another form than $form"
grep -nvP "$form" "$tmp/nmap/nmap-mac-prefixes" && fail "lines above are not in nmap's form"
grep -qx '000C29 Lab Hypervisors (ours)' "$tmp/nmap/nmap-mac-prefixes" || fail "the renamed vendor is not in nmap's file"
# nmap's ARP ping of the other end of a veth pair, each end in a namespace
# of its own: nothing leaves the two.
a=zorvane-fa$$ b=zorvane-fb$$
pair() {
  ip netns add "$a" && namespaces+=("$a") && ip netns add "$b" && namespaces+=("$b") &&
    ip link add zva$$ netns "$a" type veth peer name zvb$$ netns "$b" &&
    ip -n "$a" addr add 10.199.0.1/24 dev zva$$ && ip -n "$b" addr add 10.199.0.2/24 dev zvb$$ &&
    ip -n "$b" link set zvb$$ address 00:0c:29:11:22:33 && ip -n "$a" link set zva$$ up && ip -n "$b" link set zvb$$ up
}
if pair 2>/dev/null; then
  found=$(ip netns exec "$a" nmap -sn -n --datadir "$tmp/nmap" 10.199.0.2 2>&1 | grep '^MAC Address' || true)
  [ "$found" = "MAC Address: 00:0C:29:11:22:33 (Lab Hypervisors (ours))" ] || fail "nmap said: $found"
else
  echo "no network namespaces with a veth pair here: nmap's file checked by its form only"
fi

# --- The IEEE's text, read back by import and refresh ------------------------
mkdir -p "$tmp/ieee"
"$db_tool" export "$db" oui --format ieee --to "$tmp/ieee"
"$db_tool" import --from "$tmp/ieee" "$tmp/back.mdb" >/dev/null
# The same records: code, vendor and address (the text has no null; import
# makes Address1 to address5 from the address), in the registries' order.
"$db_tool" export "$db" oui --format json >"$tmp/before.json"
listed() {
  "$db_tool" export "$1" oui --format json | node -e '
    let text = ""; process.stdin.on("data", d => text += d).on("end", () => {
      for (const line of text.split("\n").filter(l => l)) {
        const r = JSON.parse(line);
        console.log(JSON.stringify([r.Code, r.Vendor ?? "", r.Address ?? ""]));
      } });' | sort
}
cmp -s <(listed "$db") <(listed "$tmp/back.mdb") ||
  fail "import of the IEEE text gave other records: $(diff <(listed "$db") <(listed "$tmp/back.mdb") | head -5)"
# A database imported from Debian's listing, refreshed from its own export:
# nothing changes, and the listing read back is the one given.
"$db_tool" import --from "$listing" "$tmp/fresh.mdb" >/dev/null
mkdir -p "$tmp/fresh"
"$db_tool" export "$tmp/fresh.mdb" oui --format ieee --to "$tmp/fresh"
refreshed=$("$db_tool" refresh "$tmp/fresh.mdb" --from "$tmp/fresh" --dry-run)
[[ $refreshed == *": 0 added, 0 updated, 0 removed, 0 kept, 0 conflicts"* ]] || fail "refresh: $refreshed"
"$db_tool" import --from "$tmp/fresh" "$tmp/fresh2.mdb" >/dev/null
cmp -s <("$db_tool" export "$tmp/fresh.mdb" oui) <("$db_tool" export "$tmp/fresh2.mdb" oui) ||
  fail "the listing's own records came back in another order or form"

# --- JSON Lines -------------------------------------------------------------
# The records find lists: CSV records ended by CR LF outside quotes, less the header.
records=$("$db_tool" find "$db" oui | node -e '
  let text = ""; process.stdin.on("data", d => text += d).on("end", () => {
    let quoted = false, ends = 0;
    for (let i = 0; i < text.length; ++i)
      if (text[i] === "\"") quoted = !quoted;
      else if (!quoted && text[i] === "\r" && text[i + 1] === "\n") ++ends;
    console.log(ends - 1); });')
node -e '
  const lines = require("fs").readFileSync(process.argv[1], "utf8").split("\n").filter(l => l);
  const rows = lines.map(l => JSON.parse(l));
  const mine = rows.filter(r => r.Code === "0A-0B-0C");
  const block = rows.filter(r => r.Code === "0A-0B-0C-D0-0");
  if (rows.length != +process.argv[2] || mine.length != 1 || mine[0].Vendor !== "Bench Lab #2" || block.length != 1 ||
      mine[0].Address !== "Here 1" || mine[0].Address1 !== null || Object.keys(mine[0]).length != 8)
    { console.error(rows.length, JSON.stringify(mine)); process.exit(1); }' "$tmp/before.json" "$records" ||
  fail "the JSON Lines are not the records"

echo "manuf read by tshark, the vendor file by arp-scan, the prefixes by nmap, the IEEE text by import and refresh, JSON Lines by node: fine"
