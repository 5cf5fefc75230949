#!/usr/bin/env bash
# zorvane-launch --update starts the update window (zorvane-update) found
# beside it or in ../libexec/zorvane, with the arguments after --update, and
# says in one line when there is none; the desktop entry's action runs it.
# usage: tests/update/launch_update.sh SOURCE_DIR
set -euo pipefail
src=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/bin" "$tmp/libexec/zorvane"
cp "$src/desktop/zorvane-launch" "$tmp/bin/"
status=0
err=$(HOME=$tmp "$tmp/bin/zorvane-launch" --update 2>&1) || status=$?
[ "$status" = 1 ] && [ "$(printf '%s\n' "$err" | wc -l)" = 1 ] && [[ $err == "zorvane-launch: the update window"* ]] ||
  fail "without zorvane-update: status $status, $err"
[ ! -e "$tmp/.local/share/zorvane/oui.mdb" ] || fail "a database was made for --update"
printf '#!/bin/sh\necho "update window: $*"\n' >"$tmp/libexec/zorvane/zorvane-update"
chmod +x "$tmp/libexec/zorvane/zorvane-update"
out=$(HOME=$tmp "$tmp/bin/zorvane-launch" --update --url http://127.0.0.1:9/x) || fail "--update failed"
[ "$out" = "update window: --url http://127.0.0.1:9/x" ] || fail "--update ran: $out"
grep -qx "Actions=update;" "$src/desktop/zorvane.desktop" && grep -qx "Exec=zorvane-launch --update" "$src/desktop/zorvane.desktop" ||
  fail "the menu entry has no Update Vendor List action"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$src/desktop/zorvane.desktop" || fail "zorvane.desktop does not validate"
fi
echo "launch_update: ok"
