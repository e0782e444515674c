#!/usr/bin/env bash
# Console-mode timings of Tessivo.exe under Wine against the virtual modem,
# printed against the figures the staged reply collection implies (the same
# as for the Linux program). Wine's own start-up is measured apart, from runs
# that end right after the open attempt (an absent port: the failure signal,
# 1 s, and nothing else), and subtracted.
# Usage: bench/console_timing_wine.sh [linux-build] [windows-build]
#   linux-build    holds tessivo-modemsim (default: build)
#   windows-build  holds Tessivo.exe      (default: build-win)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux_build=$(cd "${1:-build}" && pwd)
windows_build=$(cd "${2:-build-win}" && pwd)
exe=$windows_build/Tessivo.exe
modemsim=$linux_build/tessivo-modemsim
runs=3

# shellcheck source=tests/win32/wine_env.sh
source "$root/tests/win32/wine_env.sh"
state=$(mktemp -d)
sim_pid=
cleanup() {
  if [[ -n $sim_pid ]]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  "$root/tests/win32/wine_prefix.sh" cleanup "$state" >/dev/null 2>&1 || true
  rm -rf "$state"
}
trap cleanup EXIT

echo "Creating a Wine prefix (several seconds)..." >&2
"$root/tests/win32/wine_prefix.sh" setup "$state" >/dev/null
wine_env_load "$state"

start_modem() {
  if [[ -n $sim_pid ]]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -f "$ports/com1"
  "$modemsim" --link "$ports/com1" "$@" </dev/null >"$state/sim.out" 2>&1 &
  sim_pid=$!
  wait_for_path "$ports/com1"
}

# One run; prints "wall_ms cpu_ms" (cpu: the Windows process, which Wine runs
# as its own child; the shared wineserver is not counted).
run_once() {
  local t0 t1 cpu
  t0=$(date +%s%N)
  ("$WINE" "$exe" "$@" </dev/null >/dev/null 2>&1 || true; times) >"$state/times" 2>&1
  t1=$(date +%s%N)
  cpu=$(tail -n 1 "$state/times" | awk '{
    split($1, u, "m"); split($2, s, "m");
    printf "%.0f", (u[1] * 60 + u[2]) * 1000 + (s[1] * 60 + s[2]) * 1000 }')
  echo "$(((t1 - t0) / 1000000)) $cpu"
}

# The median of `runs` runs, by wall time, each on a fresh virtual modem
# (a SIM once unlocked would refuse the next PIN).
#   run_median "modem options" tessivo arguments...
run_median() {
  local i options=$1
  shift
  : >"$state/runs"
  for ((i = 0; i < runs; i++)); do
    # shellcheck disable=SC2086  # the options are words
    start_modem $options
    run_once "$@" >>"$state/runs"
  done
  sort -n "$state/runs" | sed -n "$(((runs + 1) / 2))p"
}

row() { # label expected_ms measured_ms startup_ms cpu_ms
  local net dev cpu
  net=$(($3 - $4))
  dev=$(awk -v e="$2" -v m="$net" 'BEGIN { printf "%+.1f", 100 * (m - e) / e }')
  cpu=$(awk -v w="$3" -v c="$5" 'BEGIN { printf "%.2f", 100 * c / w }')
  printf '%-40s %9s %9s %9s %9s %8s%% %7s\n' "$1" "$2" "$3" "$4" "$net" "$dev" "$cpu"
}

# Wine's start-up: an absent port ends after the failure signal alone.
run_median "" COM99 1234 >"$state/result"
read -r absent_wall _ <"$state/result"
startup=$((absent_wall - 1000))
read -r cmd_wall _ < <(for ((i = 0; i < runs; i++)); do
  t0=$(date +%s%N)
  "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
  echo "$((($(date +%s%N) - t0) / 1000000))"
done | sort -n | sed -n "$(((runs + 1) / 2))p")

echo "Wine $("$WINE" --version 2>/dev/null), median of $runs runs each"
echo "Wine start-up: ${startup} ms (Tessivo.exe on an absent port, less its 1000 ms signal);" \
  "'wine cmd /c exit' takes ${cmd_wall} ms"
printf '%-40s %9s %9s %9s %9s %9s %7s\n' "case" "expected" "measured" "start-up" "net" "deviation" "cpu"
printf '%-40s %9s %9s %9s %9s %9s %7s\n' "" "ms" "ms" "ms" "ms" "" "%wall"

run_median "--state pin" COM1 1234 >"$state/result"
read -r wall cpu <"$state/result"
row "Tessivo.exe, modem answers at once" 2900 "$wall" "$startup" "$cpu"

run_median --silent COM1 1234 >"$state/result"
read -r wall cpu <"$state/result"
row "Tessivo.exe, silent modem" 6400 "$wall" "$startup" "$cpu"
