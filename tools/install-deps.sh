#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need; does nothing
# when all of them are present already.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev-tools qt6-charts-dev qt6-serialport-dev
  qt6-webengine-dev qt6-webengine-dev-tools libqt6sql6-sqlite libgl-dev
  libzip-dev zip unzip
  xvfb xauth xdotool x11-utils libxcb1-dev libx11-dev libxtst-dev
  python3 python3-dbfread poppler-utils sqlite3 libsqlite3-dev
  clang libclang-rt-14-dev
  fonts-dejavu-core qt6-translations-l10n
  dpkg-dev fakeroot lintian desktop-file-utils appstream librsvg2-bin
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
