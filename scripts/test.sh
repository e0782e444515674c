#!/usr/bin/env bash
# Sets up and runs every test: the Linux build (with Tessivo.exe's console
# cases under Wine), the Windows program cross-built and tested under Wine,
# the packages (scripts/package.sh) with their contents and the installed
# programs checked, the Linux build again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzz harnesses for 20 s each, and the timing
# benchmarks (printed, not asserted). Any failure, sanitizer report or broken
# fuzz property fails the run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$here/scripts/setup.sh" test

# The Linux build comes first: the Windows dialog tests drive Tessivo.exe
# against its virtual modem, and its own tests run Tessivo.exe's console form.
echo "== Linux build"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON \
  -DTESSIVO_WIN_EXE="$here/build-win/Tessivo.exe"
cmake --build "$here/build" -j"$jobs"

echo "== Windows build (MinGW-w64)"
cmake -S "$here" -B "$here/build-win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTESSIVO_MODEMSIM="$here/build/tessivo-modemsim"
cmake --build "$here/build-win" -j"$jobs"

echo "== Linux tests (with Tessivo.exe's console form under Wine)"
ctest --test-dir "$here/build" -j"$jobs" --output-on-failure

echo "== Windows tests under Wine"
ctest --test-dir "$here/build-win" -j"$jobs" --output-on-failure

echo "== Packages: built by scripts/package.sh, checked as a user gets them"
"$here/scripts/package.sh"
"$here/tests/packaging/package_test.sh"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S "$here" -B "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DTESSIVO_SANITIZE=ON \
  -DBUILD_TESTING=ON
cmake --build "$here/build-asan" -j"$jobs"
ctest --test-dir "$here/build-asan" -j"$jobs" --output-on-failure

echo "== Fuzzing (clang, libFuzzer; about 20 s per harness)"
JOBS=$jobs "$here/bench/fuzz.sh" "$here/build-fuzz" --quick

echo "== Timing (measured against expected)"
"$here/bench/console_timing.sh" "$here/build"
"$here/bench/console_timing_wine.sh" "$here/build" "$here/build-win"
"$here/bench/dialog_timing.sh" "$here/build"
