#!/usr/bin/env bash
# Runs every libFuzzer harness (fuzz/) from a copy of its seed corpus and
# prints, per harness, the executions, the coverage libFuzzer reached (cov:
# edges, ft: features), the corpus it grew and the crashes and property
# failures. Exits non-zero when any harness crashed, broke a property, leaked,
# hung or ran out of memory; its inputs are kept in <build>/fuzz-findings/.
#
#   bench/fuzz.sh [build-dir] [--quick]
#
# build-dir defaults to build-fuzz; it is configured (clang++, -DTESSIVO_FUZZ=ON)
# and built when needed. Each harness runs for 1,000,000 executions
# (TESSIVO_FUZZ_RUNS), or, with --quick or TESSIVO_FUZZ_SECONDS set, for a
# time instead (20 s with --quick).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

build=
quick=0
for arg in "$@"; do
  case $arg in
    --quick) quick=1 ;;
    -h | --help)
      sed -n '2,14s/^# \{0,1\}//p' "$0"
      exit 0
      ;;
    -*)
      echo "fuzz.sh: unknown option $arg" >&2
      exit 2
      ;;
    *) build=$arg ;;
  esac
done
build=$(realpath -m "${build:-$here/build-fuzz}")
runs=${TESSIVO_FUZZ_RUNS:-1000000}
seconds=${TESSIVO_FUZZ_SECONDS:-}
[ "$quick" -eq 1 ] && seconds=${seconds:-20}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DTESSIVO_FUZZ=ON >/dev/null
fi
cmake --build "$build" -j"${JOBS:-$(nproc)}" >/dev/null
list=$build/fuzzers.txt
if [ ! -f "$list" ]; then
  echo "fuzz.sh: $build is not a fuzzing build (configure it with -DTESSIVO_FUZZ=ON)" >&2
  exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings=$build/fuzz-findings
rm -rf "$findings"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

if [ -n "$seconds" ]; then
  limit=(-max_total_time="$seconds")
  echo "Fuzzing each harness for $seconds s"
else
  limit=(-runs="$runs")
  echo "Fuzzing each harness for $runs executions"
fi
# fuzz NAME PROGRAM CORPUS DICT: one harness from a copy of its corpus, in
# $work/NAME; its exit status and seconds are left there for the report.
fuzz() {
  local name=$1 program=$2 corpus=$3 dict=$4 dir=$work/$1 start status=0 tenths
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp -R "$corpus/." "$dir/corpus/"
  local options=(-print_final_stats=1 -timeout=10 -rss_limit_mb=2048
    -artifact_prefix="$dir/artifacts/" "${limit[@]}")
  [ -n "$dict" ] && options+=(-dict="$dict")
  start=$(date +%s%N)
  "$program" "${options[@]}" "$dir/corpus" >"$dir/log" 2>&1 || status=$?
  tenths=$((($(date +%s%N) - start) / 100000000))
  echo "$status" >"$dir/status"
  echo "$((tenths / 10)).$((tenths % 10))" >"$dir/elapsed"
}

# Each harness is one process on one core: as many side by side as there are
# cores (JOBS), the report in the list's order once all have ended.
slots=${JOBS:-$(nproc)}
names=()
while IFS=$'\t' read -r name program corpus dict; do
  [ -n "$name" ] || continue
  names+=("$name")
  while [ "$(jobs -rp | wc -l)" -ge "$slots" ]; do wait -n || true; done
  fuzz "$name" "$program" "$corpus" "$dict" &
done <"$list"
wait

printf '%-22s %12s %8s %6s %7s %8s %9s  %s\n' harness executions seconds cov ft corpus failures result
failed=0
broken=0
for name in "${names[@]}"; do
  dir=$work/$name
  status=$(cat "$dir/status" 2>/dev/null || echo "?")
  elapsed=$(cat "$dir/elapsed" 2>/dev/null || echo "?")
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
  # After a crash there are no final stats: the last status line tells.
  [ -n "$executions" ] || executions=$(grep -o '^#[0-9]*' "$dir/log" | tail -1 | tr -d '#' || true)
  status_line=$(grep ' cov: ' "$dir/log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$status_line")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$status_line")
  grown=$(sed -n 's/.* corp: \([0-9]*\)\/.*/\1/p' <<<"$status_line")
  artifacts=$(find "$dir/artifacts" -type f | wc -l)
  properties=$(grep -c '^PROPERTY FAILED' "$dir/log" || true)

  result=ok
  if [ "$status" != 0 ] || [ "$artifacts" -gt 0 ]; then
    result="FAILED (exit $status)"
    failed=1
    broken=$((broken + 1))
    mkdir -p "$findings/$name"
    cp "$dir/log" "$findings/$name/log"
    cp -R "$dir/artifacts/." "$findings/$name/"
  fi
  printf '%-22s %12s %8s %6s %7s %8s %9s  %s\n' "$name" "${executions:-?}" "$elapsed" \
    "${cov:-?}" "${ft:-?}" "${grown:-?}" "$((artifacts > properties ? artifacts : properties))" \
    "$result"
  if [ "$result" != ok ]; then
    grep -A3 -E '^PROPERTY FAILED|^==[0-9]+==ERROR|runtime error' "$dir/log" | head -20 | sed 's/^/    /'
    echo "    log and inputs: $findings/$name/"
  fi
done
harnesses=${#names[@]}
echo "$((harnesses - broken)) passed, $broken failed"
exit "$failed"
