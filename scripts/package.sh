#!/usr/bin/env bash
# Builds Tessivo in Release and writes the packages to dist/:
#   tessivo_VERSION_amd64.deb      the console program, no Qt, no X
#   tessivo-gui_VERSION_amd64.deb  the dialog (Qt 6), desktop entry, icons
#   tessivo_VERSION_arm64.deb      the console program, cross-built for arm64
#   Tessivo-VERSION-win64.zip      the Windows program
# Installs what is missing first (scripts/setup.sh). Uses the build folders
# of the other commands, build/ and build-win/, and build-arm64/, and builds
# only the programs.
#   scripts/package.sh [--no-windows]   (--no-windows: the Linux packages only)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
windows=1
[[ ${1:-} == --no-windows ]] && windows=
"$here/scripts/setup.sh" test
# Warnings are errors here as in scripts/test.sh: the arm64 build, which no
# other command configures, would otherwise let a warning of its compiler by.
werror=-DTESSIVO_WERROR=ON

cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=Release "$werror" >/dev/null
cmake --build "$here/build" -j"$jobs" --target tessivo tessivo-dialog tessivo-modemsim tessivo_package_data
# arm64: the console package only; neither Qt nor the tests are cross-built.
cmake --no-warn-unused-cli -S "$here" -B "$here/build-arm64" -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTESSIVO_DIALOG=OFF -DBUILD_TESTING=OFF "$werror" >/dev/null
cmake --build "$here/build-arm64" -j"$jobs" --target tessivo tessivo-modemsim tessivo_package_data
builds=(build build-arm64)
if [[ -n $windows ]]; then
  cmake --no-warn-unused-cli -S "$here" -B "$here/build-win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release "$werror" >/dev/null
  cmake --build "$here/build-win" -j"$jobs" --target tessivo_exe tessivo_package_data
  builds+=(build-win)
fi

mkdir -p "$here/dist"
for build in "${builds[@]}"; do
  rm -rf "$here/$build/cpack"
  (cd "$here/$build" && cpack -C Release >/dev/null)
  find "$here/$build/cpack" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.zip' \) \
    -exec cp {} "$here/dist/" \; -exec basename {} \;
done | sed "s|^|dist/|"
