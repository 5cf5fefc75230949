#!/usr/bin/env bash
# zorvane-db's manual page against the program: every command `zorvane-db help`
# lists, and every option its usage lines name, has its entry in the manual
# with at least one example line using it; the pages read without warnings.
# usage: tests/tools/manual.sh SOURCE_DIR TOOLS_BUILD_DIR
set -euo pipefail
source_dir=$1 tools=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
page=$source_dir/desktop/zorvane-db.1
usage=$("$tools/zorvane-db" help)
commands=$(printf '%s\n' "$usage" | sed -n 's/^  zorvane-db \([a-z]*\).*/\1/p')
[ "$(printf '%s\n' "$commands" | wc -l)" -ge 9 ] || fail "help lists too few commands: $commands"
for c in $commands; do
  grep -qx "\.B $c" "$page" || grep -qx "\.BR $c .*" "$page" || fail "no entry for the command $c"
  grep -q "^zorvane\\\\-db $c\b" "$page" || fail "no example of $c"
done
# The options of the usage lines (the summaries also name other programs' options).
options=$(printf '%s\n' "$usage" | grep -E '^ *(usage: )?zorvane-db ' | grep -o -- '--[a-z-]*' | sort -u)
[ -n "$options" ] || fail "no options found in the usage"
for o in $options; do
  roff=${o//-/\\\\-}
  grep -q "^\.B[I]* $roff\b" "$page" || fail "no entry for the option $o"
  grep -q "^zorvane\\\\-db .*$roff\b" "$page" || fail "no example of $o"
done
for p in zorvane-db zorvane zorvane-listing; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$source_dir/desktop/$p.1" 2>&1 >/dev/null) || fail "$p.1 cannot be read"
  [ -z "$warnings" ] || fail "$p.1: $warnings"
done
[ "$(wc -l <"$source_dir/desktop/zorvane-listing.1")" -gt 20 ] || fail "zorvane-listing.1 is no manual page"
echo "manual: every command and option, each with an example"
