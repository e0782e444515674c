#!/usr/bin/env bash
# Installs what Tessivo needs on Debian 12 or 13, if missing; prints nothing
# and asks for nothing (no apt-get, no sudo) when all of it is there.
# Usage: scripts/setup.sh [run|test]
#   run   building and running the Linux programs tessivo, tessivo-dialog
#         and tessivo-modemsim (scripts/run.sh)
#   test  the run set and every tool a registered test, the Windows build,
#         the packages or the fuzzing needs (scripts/test.sh; the default)
set -euo pipefail

set_name=${1:-test}
case $set_name in
  run | test) ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

# The release decides a few names. Any other release gets Debian 13's, the
# newer ones; that is said only if something is to be installed.
release=
other_release=
if [ -r /etc/os-release ]; then
  # shellcheck disable=SC1091
  release=$(. /etc/os-release && echo "${VERSION_ID:-${VERSION_CODENAME:-}}")
fi
case $release in
  12 | bookworm) release=12 ;;
  13 | trixie) release=13 ;;
  *) other_release=$release; release=13 ;;
esac

# Building and running the Linux programs (scdoc: their manual pages, which
# `cmake --install` installs too).
run_packages=(
  cmake g++ make pkg-config
  libasound2-dev libsystemd-dev
  qt6-base-dev libxcb1-dev fonts-dejavu-core
  scdoc
)
# Qt's OpenGL headers, which Qt6Gui's CMake files look for: a package of its
# own on Debian 12, part of qt6-base-dev on 13 (where the name is only a
# virtual one).
[ $release = 12 ] && run_packages+=(libqt6opengl6-dev)

# Everything the tests need besides: the unit tests, the Windows build under
# Wine, the dialog under Xvfb, ModemManager, the packages (mmdebstrap: the
# Debian 13 tree they are installed into), the fuzzing.
test_packages=(
  git ca-certificates
  libgtest-dev libgmock-dev
  g++-mingw-w64-x86-64 wine64 wine fonts-wine icoutils
  xvfb xauth xdotool imagemagick x11-utils socat
  clang llvm
  comgt
  modemmanager dbus dbus-daemon python3-dbusmock libglib2.0-bin
  dpkg-dev file lintian desktop-file-utils appstream man-db zip unzip python3
  systemd
  mmdebstrap
)
# The arm64 core package (scripts/package.sh) and its run under qemu
# (tests/packaging/package_test.sh): the cross compiler, and the arm64
# libraries from the multiarch tree, which need the arm64 architecture in
# dpkg (added below). libstdc++6:arm64 lets dpkg-shlibdeps name the package
# of the C++ library; the cross compiler's own copy belongs to no arm64
# package.
cross_arm64=(
  crossbuild-essential-arm64
  libasound2-dev:arm64 libsystemd-dev:arm64 libstdc++6:arm64
)
# qemu's user emulation, statically linked: qemu-user-static on Debian 12;
# on 13 that is a transitional package that also registers binfmt handlers,
# and qemu-user itself holds the static qemu-aarch64.
if [ $release = 12 ]; then cross_arm64+=(qemu-user-static); else cross_arm64+=(qemu-user); fi
test_packages+=("${cross_arm64[@]}")

# The fuzzing's clang runtime (libFuzzer, the sanitizers) must be the one of
# the clang that compiles: that of the installed clang, else the release's.
clang_major=
if command -v clang >/dev/null; then
  clang_major=$(clang --version 2>/dev/null | sed -n '1s/.*clang version \([0-9]*\)\..*/\1/p')
fi
[ -n "$clang_major" ] || { [ $release = 12 ] && clang_major=14 || clang_major=19; }
test_packages+=("libclang-rt-$clang_major-dev")

case $set_name in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
esac

# What is installed, read once: NAME:ARCH of every installed package, and
# every name an installed package provides (a virtual package counts as
# installed when something installed provides it).
native=$(dpkg --print-architecture)
have=$(dpkg-query -W -f='${db:Status-Abbrev}|${Package}|${Architecture}|${Provides}\n' 2>/dev/null |
  awk -F'|' -v native="$native" '$1 ~ /^ii/ {
    arch = $3 == "all" ? native : $3
    print $2 ":" arch
    n = split($4, provided, ",")
    for (i = 1; i <= n; i++) { sub(/^ +/, "", provided[i]); sub(/[ :].*/, "", provided[i]); print provided[i] ":" arch }
  }')
missing=()
for p in "${packages[@]}"; do
  [[ $p == *:* ]] || p=$p:$native
  grep -qxF "$p" <<<"$have" || missing+=("${p%:"$native"}")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ -n "$other_release" ]; then
  echo "Not Debian 12 or 13 (os-release: '$other_release'): installing with Debian 13's package names"
fi
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
if [[ " ${missing[*]} " == *:arm64* ]] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $sudo dpkg --add-architecture arm64
fi
echo "Installing (${set_name} set): ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
