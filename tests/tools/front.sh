#!/usr/bin/env bash
# zorvane-db without Qt: no Qt library among what it needs, the record commands
# and lookup run by it, import handed to zorvane-db-full where an installation
# keeps it (libexec/zorvane beside bin), the password with them; and one clear
# line, status 1, when zorvane-db-full is missing.
# usage: tests/tools/front.sh TOOLS_BUILD_DIR
set -euo pipefail
tools=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

! readelf -d "$tools/zorvane-db" | grep -E 'NEEDED.*lib(Qt|icu)' || fail "zorvane-db needs Qt"

mkdir -p "$tmp/bin" "$tmp/libexec/zorvane" "$tmp/listing"
cp "$tools/zorvane-db" "$tmp/bin/"
db=$tmp/bin/zorvane-db
status=0
err=$("$db" import --from "$tmp/listing" "$tmp/oui.mdb" 2>&1 >/dev/null) || status=$?
[ "$status" = 1 ] || fail "status $status without zorvane-db-full"
[ "$(printf '%s\n' "$err" | wc -l)" = 1 ] && [[ $err == "zorvane-db: import is run by zorvane-db-full, which could not be started"*"(No such file or directory)." ]] ||
  fail "without zorvane-db-full: $err"
[ ! -e "$tmp/oui.mdb" ] || fail "a database without zorvane-db-full"

cp "$tools/zorvane-db-full" "$tmp/libexec/zorvane/"
printf '00-22-72   (hex)\t\tFuel\n002272     (base 16)\t\tFuel\n\t\t\t\tUS\n\n' >"$tmp/listing/oui.txt"
printf '74-1A-E0   (hex)\t\tM\n900000-9FFFFF     (base 16)\t\tM\n\n' >"$tmp/listing/mam.txt"
printf '70-B3-D5   (hex)\t\tS\nF2F000-F2FFFF     (base 16)\t\tS\n\n' >"$tmp/listing/oui36.txt"
printf '00-50-C2   (hex)\t\tI\n7D5000-7D5FFF     (base 16)\t\tI\n\n' >"$tmp/listing/iab.txt"
"$db" import --from "$tmp/listing" --min-entries 1 --password=Sesame "$tmp/oui.mdb" >/dev/null 2>&1 || fail "import"
"$db" --password Sesame add "$tmp/oui.mdb" oui Code=AA-BB-CC Vendor=Added || fail "add"
out=$("$db" lookup "$tmp/oui.mdb" --password Sesame 00:22:72:01:02:03 aa-bb-cc-00-00-01) || fail "lookup"
[[ $out == *Fuel*Added* ]] || fail "lookup gave: $out"
status=0
err=$("$db" lookup "$tmp/oui.mdb" 00:22:72 2>&1 >/dev/null) || status=$?
[ "$status" = 1 ] && [[ $err == "zorvane-db: "*protect* ]] || fail "lookup without the password: $status $err"
version=$("$db" --version) || fail "--version"
[[ $version =~ ^zorvane-db\ [0-9]+\.[0-9]+\.[0-9]+$ ]] && [ "$("$tmp/libexec/zorvane/zorvane-db-full" --version)" = "$version" ] ||
  fail "--version said: $version"
echo "zorvane-db and zorvane-db-full: fine"
