#!/usr/bin/env bash
# zorvane-launch when it cannot make the database: no listing, a home that
# cannot be written, no home at all. Each time zorvane is still started (here a
# stand-in that notes what it was given), out of any folder that could hold
# someone else's database, with the reason in ZORVANE_LAUNCH_PROBLEM (the
# lookup window shows it: tst_lookupwindow), and the reason is on stderr too.
# When it can, the database is made and zorvane starts in its folder.
# usage: tests/package/launch_failures.sh SOURCE_DIR TOOLS_BUILD_DIR
set -euo pipefail
source_dir=$1 tools=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

mkdir -p "$tmp/bin" "$tmp/listing" "$tmp/home"
cp "$source_dir/desktop/zorvane-launch" "$tools/zorvane-db" "$tools/zorvane-db-full" "$tmp/bin/"
cat >"$tmp/bin/zorvane" <<'STANDIN'
#!/bin/sh
printf '%s\n%s\n' "$PWD" "${ZORVANE_LAUNCH_PROBLEM-}" >"$ZORVANE_TEST_NOTE"
STANDIN
chmod +x "$tmp/bin/zorvane"
printf '00-22-72   (hex)\t\tFuel\n002272     (base 16)\t\tFuel\n\t\t\t\tUS\n\n' >"$tmp/listing/oui.txt"
for f in mam oui36 iab; do : >"$tmp/listing/$f.txt"; done
note=$tmp/note

# launch NAME EXPECTED-PROBLEM ENV...: runs the launcher with ENV only.
launch() {
  local name=$1 expected=$2
  shift 2
  rm -f "$note"
  local err
  err=$(env -i PATH="$PATH" ZORVANE_TEST_NOTE="$note" "$@" "$tmp/bin/zorvane-launch" 2>&1) || fail "$name: status $?"
  [ -e "$note" ] || fail "$name: zorvane was not started"
  local dir problem
  dir=$(sed -n 1p "$note") problem=$(sed -n 2p "$note")
  if [ -z "$expected" ]; then
    [ -z "$problem" ] && [ -z "$err" ] || fail "$name: $problem $err"
    return
  fi
  [[ $problem == *"$expected"* ]] || fail "$name: the problem given is \"$problem\""
  [ "$err" = "zorvane-launch: $problem" ] || fail "$name: stderr says \"$err\""
  [ "$dir" = / ] || fail "$name: zorvane runs in $dir"
}

launch "no listing" "could not be made in $tmp/home/.local/share/zorvane from the IEEE listing in $tmp/none: $tmp/none: no such folder of IEEE listing files." \
  HOME="$tmp/home" ZORVANE_LISTING_DIR="$tmp/none"
[ -z "$(ls -A "$tmp/home/.local/share/zorvane")" ] || fail "a failed first start left files"
launch "home not writable" "The folder /proc/no-home/.local/share/zorvane for the vendor database cannot be made" \
  HOME=/proc/no-home ZORVANE_LISTING_DIR="$tmp/listing"
launch "no home" "Neither HOME nor XDG_DATA_HOME is set" ZORVANE_LISTING_DIR="$tmp/listing"
# A whole listing (a small one is refused as cut off): the ieee-data package's.
launch "first start" "" HOME="$tmp/home" ZORVANE_LISTING_DIR=/usr/share/ieee-data
[ "$(sed -n 1p "$note")" = "$tmp/home/.local/share/zorvane" ] || fail "zorvane runs in $(sed -n 1p "$note")"
"$tmp/bin/zorvane-db" check "$tmp/home/.local/share/zorvane/oui.mdb" >/dev/null || fail "the database made is not sound"
echo "zorvane-launch: every case fine"
