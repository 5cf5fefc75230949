#!/usr/bin/env bash
# Writes a fixed set of database files with a fixed clock and prints one
# sha256 line per file: the files of tests/bytes/write_outputs.cpp, and those
# zorvane-db writes (import of the IEEE listing with and without a password,
# add, update, delete, refresh). Run it before and after a change to the
# engine and compare: a change that must not alter the file format shows the
# same lines.
# Usage: scripts/same-bytes.sh [BUILD_DIR] > hashes.txt   (needs Debian's faketime package)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
listing=${ZORVANE_LISTING_DIR:-/usr/share/ieee-data}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
clock() {
    TZ=UTC LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1 FAKETIME="2024-05-06 07:08:09" \
        FAKETIME_DONT_FAKE_MONOTONIC=1 "$@"
}
db="$build/tools/zorvane-db-full"
cd "$out"
clock "$build/tests/bytes/zorvane-write-outputs" samples >/dev/null
clock "$db" import --from "$listing" oui.mdb >/dev/null
clock "$db" import --from "$listing" --password 'pass word' protected.mdb >/dev/null
cp oui.mdb edited.mdb
clock "$db" add edited.mdb oui Code=AA-BB-CC Vendor='Our lab' Address=$'Here\r\nThere' >/dev/null
clock "$db" update edited.mdb oui 17 Vendor='A longer vendor name than the one before it' >/dev/null
clock "$db" update edited.mdb oui 4000 Address= >/dev/null
clock "$db" delete edited.mdb oui 3 >/dev/null
clock "$db" delete edited.mdb oui 40000 >/dev/null
cp protected.mdb protected-edited.mdb
clock "$db" --password 'pass word' add protected-edited.mdb oui Code=AA-BB-CD Vendor=Ours >/dev/null
cp edited.mdb refreshed.mdb
clock "$db" refresh refreshed.mdb --from "$listing" --changes changes.csv >/dev/null
sha256sum samples/*.mdb ./*.mdb changes.csv | sed "s|  \./|  |"
