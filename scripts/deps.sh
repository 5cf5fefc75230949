#!/usr/bin/env bash
# Installs the Debian packages Zorvane builds, runs and tests with, when any is missing.
# Usage: scripts/deps.sh [--test]
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config
          qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-webengine-dev libgl-dev
          ieee-data ca-certificates fonts-liberation2 hardinfo)
if [ "${1:-}" = "--test" ]; then
  packages+=(mdbtools xvfb xauth clang libclang-rt-14-dev nodejs npm
             dpkg-dev desktop-file-utils lintian imagemagick sqlite3 man-db
             tshark wireshark-common arp-scan nmap iproute2 python3 openssl)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# Node.js may come from elsewhere than Debian; then npm comes with it.
if command -v node >/dev/null && command -v npm >/dev/null; then
  missing=("${missing[@]/nodejs}"); missing=("${missing[@]/npm}")
  read -r -a missing <<<"${missing[*]}"
fi
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
