#!/usr/bin/env bash
# Installs what Tessivo needs on Debian 12, if missing.
# Usage: scripts/setup.sh [run|test]
#   run   building and running the Linux programs tessivo, tessivo-dialog
#         and tessivo-modemsim (scripts/run.sh)
#   test  the run set and every tool a registered test, the Windows build,
#         the packages or the fuzzing needs (scripts/test.sh; the default)
set -euo pipefail

# Building and running the Linux programs (scdoc: their manual pages, which
# `cmake --install` installs too).
run_packages=(
  cmake g++ make pkg-config
  libasound2-dev libsystemd-dev
  qt6-base-dev libqt6opengl6-dev libxcb1-dev fonts-dejavu-core
  scdoc
)

# Everything the tests need besides: the unit tests, the Windows build under
# Wine, the dialog under Xvfb, ModemManager, the packages, the fuzzing.
test_packages=(
  git ca-certificates
  libgtest-dev libgmock-dev
  g++-mingw-w64-x86-64 wine64 wine fonts-wine icoutils
  xvfb xauth xdotool imagemagick x11-utils socat
  clang libclang-rt-14-dev llvm
  comgt
  modemmanager dbus dbus-daemon python3-dbusmock libglib2.0-bin
  dpkg-dev file lintian desktop-file-utils appstream man-db zip unzip python3
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
test_packages+=("${cross_arm64[@]}")

set_name=${1:-test}
case $set_name in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
if [[ " ${missing[*]} " == *:arm64* ]] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $sudo dpkg --add-architecture arm64
fi
echo "Installing (${set_name} set): ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
