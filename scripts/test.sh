#!/usr/bin/env bash
# Sets up and runs every test: the Linux build (with Tessivo.exe's console
# cases under Wine), the Windows program cross-built and tested under Wine,
# the packages (scripts/package.sh) with their contents and the installed
# programs checked, the Linux build again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzz harnesses for 20 s each (one a core),
# and the timing benchmarks (printed, not asserted). Any failure, sanitizer
# report or broken fuzz property fails the run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
# The Linux tests spend most of their time waiting for a modem's designed
# pauses and time-outs, not computing: three side by side a core (measured
# on two cores: 266 s at four, 172 s at six; under the sanitizers 235 s and
# 169 s, the ModemManager tier's one daemon then the longest part) keep their
# timing bounds, which also held at ten. Wine works the processor harder, so
# its tests keep one per core.
test_jobs=$((3 * jobs))

# Each step's wall time, printed at the end beside the counts.
timings=()
step_name=
step_start=$SECONDS
step() { # step [NAME]: ends the step that runs (timing it) and begins NAME
  if [ -n "$step_name" ]; then timings+=("$step_name: $((SECONDS - step_start)) s"); fi
  step_name=${1:-}
  step_start=$SECONDS
  if [ -n "$step_name" ]; then echo "== $step_name"; fi
}

step "Setup"
"$here/scripts/setup.sh" test
# Every build here treats compiler warnings as errors, on a developer's
# machine as in CI, so that a warning fails the same run in both places.
# (A configure without the option leaves them warnings.)
werror=-DTESSIVO_WERROR=ON

# How many tests each step ran, passed, failed and skipped, printed again at
# the end (also when a step fails), so that a test gone missing shows.
logs=$(mktemp -d)
counts=()
finish() {
  step
  if [ ${#counts[@]} -gt 0 ]; then
    echo "== Tests per step"
    printf '  %s\n' "${counts[@]}"
  fi
  echo "== Time per step ($SECONDS s in all)"
  printf '  %s\n' "${timings[@]}"
  rm -rf "$logs"
}
trap finish EXIT
# A step's name, such as "ASan/UBSan tests", made fit to be a file's name.
log_of() { printf '%s/%s' "$logs" "${1//\//-}"; }
count() { # count STEP: the closing "N passed, N failed" line of the step's log
  local line
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$(log_of "$1")" | tail -1)
  counts+=("$1: ${line:-no count (the step ended early)}")
}
ctest_step() { # ctest_step STEP BUILD-DIR JOBS [CTEST OPTIONS]: the tests, shown as they run and counted
  local status=0 total failed skipped
  local log
  log=$(log_of "$1")
  ctest --test-dir "$2" -j"$3" --output-on-failure "${@:4}" 2>&1 | tee "$log" || status=$?
  total=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$log" | tail -1)
  failed=$(sed -n 's/.*, \([0-9]*\) tests failed out of .*/\1/p' "$log" | tail -1)
  skipped=$(grep -c '(Skipped)$' "$log" || true)
  if [ -z "$total" ]; then
    counts+=("$1: no tests ran")
    return 1
  fi
  counts+=("$1: $total ran, $((total - failed - skipped)) passed, $failed failed, $skipped skipped")
  return "$status"
}

# The Linux build comes first: the Windows dialog tests drive Tessivo.exe
# against its virtual modem, and its own tests run Tessivo.exe's console form.
step "Linux build"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON "$werror" \
  -DTESSIVO_WIN_EXE="$here/build-win/Tessivo.exe"
cmake --build "$here/build" -j"$jobs"

step "Windows build (MinGW-w64)"
cmake -S "$here" -B "$here/build-win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release "$werror" -DTESSIVO_MODEMSIM="$here/build/tessivo-modemsim"
cmake --build "$here/build-win" -j"$jobs"

step "Linux tests (with Tessivo.exe's console form under Wine)"
ctest_step "Linux tests" "$here/build" "$test_jobs"

step "Windows tests under Wine"
ctest_step "Windows tests" "$here/build-win" "$jobs"

step "Packages: built by scripts/package.sh, checked as a user gets them"
"$here/scripts/package.sh"
status=0
"$here/tests/packaging/package_test.sh" 2>&1 | tee "$(log_of "Package checks")" || status=$?
count "Package checks"
[ "$status" -eq 0 ]

step "AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S "$here" -B "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DTESSIVO_SANITIZE=ON \
  -DBUILD_TESTING=ON "$werror"
cmake --build "$here/build-asan" -j"$jobs"
ctest_step "ASan/UBSan tests" "$here/build-asan" "$test_jobs"

step "Fuzzing (clang, libFuzzer; about 20 s per harness)"
cmake -S "$here" -B "$here/build-fuzz" -DCMAKE_CXX_COMPILER=clang++ -DTESSIVO_FUZZ=ON "$werror" >/dev/null
status=0
JOBS=$jobs "$here/bench/fuzz.sh" "$here/build-fuzz" --quick 2>&1 | tee "$(log_of "Fuzz harnesses")" || status=$?
count "Fuzz harnesses"
[ "$status" -eq 0 ]

step "Timing (measured against expected)"
"$here/bench/console_timing.sh" "$here/build"
"$here/bench/console_timing_wine.sh" "$here/build" "$here/build-win"
"$here/bench/dialog_timing.sh" "$here/build"
