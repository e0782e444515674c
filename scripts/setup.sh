#!/usr/bin/env bash
# Installs what Tessivo needs to build and test on Debian 12, if missing.
set -euo pipefail
packages=(
  cmake g++ make pkg-config git ca-certificates
  libgtest-dev libgmock-dev
  libasound2-dev
  qt6-base-dev libqt6opengl6-dev libxcb1-dev fonts-dejavu-core
  g++-mingw-w64-x86-64 wine64 wine fonts-wine
  xvfb xauth xdotool imagemagick x11-utils socat
  clang libclang-rt-14-dev llvm
  comgt
  scdoc dpkg-dev file lintian desktop-file-utils appstream man-db zip unzip python3
  systemd
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
