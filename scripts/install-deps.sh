#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run, test, fuzz and benchmark.
# Idempotent: packages already present are skipped, and the index is refreshed at most once.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config bison
  libsdl2-dev libimgui-dev libfreetype-dev libfontconfig-dev
  fonts-ipafont-gothic fonts-ipafont-mincho
  libsqlite3-dev sqlite3 zlib1g-dev libpng-dev libjpeg62-turbo-dev libtiff-dev
  libogg-dev libvorbis-dev sound-theme-freedesktop
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xfonts-base libx11-dev libxtst-dev libxdamage-dev
  clang libclang-rt-14-dev
  libpixman-1-dev
  util-linux
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
