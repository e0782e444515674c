#!/usr/bin/env bash
# Installs what Tessivo needs to build and test on Debian 12, if missing.
set -euo pipefail
packages=(
  cmake g++ make pkg-config git ca-certificates
  libgtest-dev libgmock-dev
  libasound2-dev libsystemd-dev
  qt6-base-dev libqt6opengl6-dev libxcb1-dev fonts-dejavu-core
  g++-mingw-w64-x86-64 wine64 wine fonts-wine
  xvfb xauth xdotool imagemagick x11-utils socat
  clang libclang-rt-14-dev llvm
  comgt
  modemmanager dbus dbus-daemon python3-dbusmock libglib2.0-bin
  scdoc dpkg-dev file lintian desktop-file-utils appstream man-db zip unzip python3
  systemd
)
# The arm64 core package (scripts/package.sh) and its run under qemu
# (tests/packaging/package_test.sh): the cross compiler, and the arm64
# libraries from the multiarch tree, which need the arm64 architecture in
# dpkg (added below). libstdc++6:arm64 lets dpkg-shlibdeps name the package
# of the C++ library; the cross compiler's own copy belongs to no arm64
# package.
cross_arm64=(
  crossbuild-essential-arm64 qemu-user-static
  libasound2-dev:arm64 libsystemd-dev:arm64 libstdc++6:arm64
)
packages+=("${cross_arm64[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $sudo dpkg --add-architecture arm64
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
