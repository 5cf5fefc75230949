#!/usr/bin/env bash
# check_package.sh DEB: the package holds what a desktop install needs, its
# entries validate, lintian finds no error, and its launcher, unpacked and
# run with a fresh HOME, makes the user's database and opens the lookup window.
set -euo pipefail
deb=$1
fail() { echo "check_package: $*" >&2; exit 1; }
for tool in dpkg-deb desktop-file-validate lintian; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/deps.sh --test installs it)"
done

contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./#/#')
expected=(/usr/bin/zorvane /usr/bin/zorvane-db /usr/bin/zorvane-listing /usr/bin/zorvane-launch /usr/bin/zorvane-addresses
          /usr/libexec/zorvane/zorvane-db-full /usr/libexec/zorvane/zorvane-update
          /usr/share/man/man1/zorvane-db.1.gz /usr/share/doc/zorvane/copyright)
for entry in zorvane zorvane-listing zorvane-addresses; do
  expected+=(/usr/share/applications/$entry.desktop /usr/share/icons/hicolor/scalable/apps/$entry.svg)
  for size in 16 22 24 32 48 64 128 256; do
    expected+=(/usr/share/icons/hicolor/${size}x$size/apps/$entry.png)
  done
done
for path in "${expected[@]}"; do
  grep -qx -- "$path" <<<"$contents" || fail "$path is missing from the package"
done
[ "$(grep -c '^/usr/bin/.' <<<"$contents")" -eq 5 ] || fail "unexpected programs: $(grep '^/usr/bin/.' <<<"$contents")"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in ieee-data libqt6widgets6 libqt6svg6 libqt6webenginewidgets6; do
  grep -q "\b$dep\b" <<<"$depends" || fail "Depends lacks $dep: $depends"
done

root=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true; rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root"/usr/share/applications/*.desktop
# Each entry's icon, and its window class: the program it starts names it.
for entry in zorvane zorvane-listing zorvane-addresses; do
  file=$root/usr/share/applications/$entry.desktop
  grep -qx "Icon=$entry" "$file" || fail "$entry.desktop: wrong icon"
  grep -qx "StartupWMClass=$entry" "$file" || fail "$entry.desktop: wrong window class"
done
grep -qx "Exec=zorvane-launch" "$root"/usr/share/applications/zorvane.desktop || fail "the menu entry bypasses the launcher"
grep -qx "Exec=zorvane-launch --update" "$root"/usr/share/applications/zorvane.desktop &&
  grep -qx "Name=Update Vendor List" "$root"/usr/share/applications/zorvane.desktop || fail "no Update Vendor List action"
# Every gzipped manual page is whole.
for page in "$root"/usr/share/man/man1/*.gz; do gzip -t "$page"; done

if lintian --tag-display-limit 0 "$deb" >"$root/lintian.txt" 2>&1; then :; fi
cat "$root/lintian.txt"
if grep -q '^E:' "$root/lintian.txt"; then fail "lintian reports errors"; fi

# The first start, from the unpacked tree, in a home with nothing in it.
home=$root/home
mkdir -p "$home"
(cd / && exec env -u XDG_DATA_HOME HOME="$home" "$root/usr/bin/zorvane-launch") \
  >"$root/launch.log" 2>&1 &
pid=$!
database=$home/.local/share/zorvane/oui.mdb
# The lookup window holds its database open once it is shown (after the splash).
opened=no
for _ in $(seq 1 3000); do  # up to 5 minutes: the machine may be busy
  kill -0 "$pid" 2>/dev/null || break
  if [ -e "$database" ] && ls -l "/proc/$pid/fd" 2>/dev/null | grep -q -- "-> $database\$"; then
    opened=yes
    break
  fi
  sleep 0.1
done
cat "$root/launch.log"
[ "$opened" = yes ] || fail "the lookup window did not open over $database"
[ "$(readlink -f /proc/$pid/cwd)" = "$(readlink -f "$(dirname "$database")")" ] || fail "zorvane runs in the wrong folder"
kill "$pid"
wait "$pid" 2>/dev/null || true
"$root/usr/bin/zorvane-db" check "$database"
[ "$("$root/usr/bin/zorvane-db" export "$database" oui | wc -l)" -gt 1000 ] || fail "the database holds too few records"
ls "$(dirname "$database")"
echo "check_package: all checks passed"
