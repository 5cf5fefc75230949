#!/usr/bin/env bash
# Every program answers --help and --version without a display and exits 0
# (1 when the answer cannot be written); `zorvane FILE` opens FILE, not
# ./oui.mdb.
# usage: tests/tools/programs.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true; rm -rf "$tmp"' EXIT

for program in app/zorvane tools/zorvane-db browser/zorvane-listing addresswindow/zorvane-addresses; do
  name=${program##*/}
  [ -x "$build/$program" ] || { [ "$name" = zorvane-listing ] && continue; fail "$build/$program is missing"; }
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$build/$program" --version) || fail "$name --version"
  [ "$out" = "$name 2.6.0" ] || fail "$name --version said: $out"
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$build/$program" --help) || fail "$name --help"
  [[ $out == usage:\ $name* ]] || fail "$name --help said: $out"
  status=0
  env -u DISPLAY QT_QPA_PLATFORM=xcb "$build/$program" --version >/dev/full 2>/dev/null || status=$?
  [ "$status" = 1 ] || fail "$name --version > /dev/full: status $status"
done

# zorvane FILE: the lookup window (after the splash window) holds FILE open.
mkdir "$tmp/work" "$tmp/listing"
printf 'x' >"$tmp/work/oui.mdb"  # a file at the default name that is no database
printf '00-22-72   (hex)\t\tFuel\n002272     (base 16)\t\tFuel\n\t\t\t\tUS\n\n' >"$tmp/listing/oui.txt"
printf '74-1A-E0   (hex)\t\tM\n900000-9FFFFF     (base 16)\t\tM\n\n' >"$tmp/listing/mam.txt"
printf '70-B3-D5   (hex)\t\tS\nF2F000-F2FFFF     (base 16)\t\tS\n\n' >"$tmp/listing/oui36.txt"
printf '00-50-C2   (hex)\t\tI\n7D5000-7D5FFF     (base 16)\t\tI\n\n' >"$tmp/listing/iab.txt"
"$build/tools/zorvane-db-full" import --min-entries 1 --from "$tmp/listing" "$tmp/other.mdb" >/dev/null || fail "import"
(cd "$tmp/work" && exec env QT_QPA_PLATFORM=offscreen "$build/app/zorvane" "$tmp/other.mdb") >"$tmp/log" 2>&1 &
pid=$!
opened=no
for _ in $(seq 1 600); do
  kill -0 "$pid" 2>/dev/null || break
  if ls -l "/proc/$pid/fd" 2>/dev/null | grep -q -- "-> $tmp/other.mdb\$"; then opened=yes; break; fi
  sleep 0.1
done
[ "$opened" = yes ] || { cat "$tmp/log"; fail "zorvane did not open the file it was given"; }
if ls -l "/proc/$pid/fd" | grep -q -- "-> $tmp/work/oui.mdb\$"; then fail "zorvane opened ./oui.mdb too"; fi
echo "programs: fine"
