#!/usr/bin/env bash
# Builds Tessivo for Linux and Windows in Release and writes the packages to
# dist/: tessivo_VERSION_amd64.deb and Tessivo-VERSION-win64.zip. Installs
# what is missing first (scripts/setup.sh). Uses the build folders of the
# other commands, build/ and build-win/, and builds only the programs.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$here/scripts/setup.sh" test

cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build" -j"$jobs" --target tessivo tessivo-modemsim tessivo_package_data
cmake --no-warn-unused-cli -S "$here" -B "$here/build-win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build-win" -j"$jobs" --target tessivo_exe tessivo_package_data

mkdir -p "$here/dist"
for build in build build-win; do
  rm -rf "$here/$build/cpack"
  (cd "$here/$build" && cpack -C Release >/dev/null)
  find "$here/$build/cpack" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.zip' \) \
    -exec cp {} "$here/dist/" \; -exec basename {} \;
done | sed "s|^|dist/|"
