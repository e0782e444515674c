#!/usr/bin/env bash
# Console-mode timings against the virtual modem, printed against the figures
# the staged reply collection implies. Usage: bench/console_timing.sh [build]
# Aim: within +-5 % of the expected time, CPU time under 2 % of the wall time.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export TESSIVO_PORT_DIR=$work
# Tones go to a null device; the program still waits each tone out.
cat >"$work/asound.conf" <<CONF
pcm.!default { type null }
CONF
export ALSA_CONFIG_PATH=$work/asound.conf

start_modem() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
  rm -f "$work/com1"
  "$build/tessivo-modemsim" --link "$work/com1" "$@" >"$work/sim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do [ -e "$work/com1" ] && [ -s "$work/sim.out" ] && return; sleep 0.05; done
  echo "virtual modem did not start" >&2
  exit 1
}

row() {  # label expected_ms measured_ms cpu_ms
  local dev cpu
  dev=$(awk -v e="$2" -v m="$3" 'BEGIN { printf "%+.1f", 100 * (m - e) / e }')
  cpu=$(awk -v w="$3" -v c="$4" 'BEGIN { if (c == "") print "-"; else printf "%.2f", 100 * c / w }')
  printf '%-44s %9s %9s %8s%% %7s\n' "$1" "$2" "$3" "$dev" "$cpu"
}

console_run() {  # prints "wall_ms cpu_ms"
  local t0 t1 u0 u1
  t0=$(date +%s%N)
  # times reports the children's user and system time once they have ended.
  ( "$build/tessivo" COM1 1234 >/dev/null 2>&1 || true; times ) >"$work/times" 2>&1
  t1=$(date +%s%N)
  cpu=$(tail -n 1 "$work/times" | awk '{
    split($1, u, "m"); split($2, s, "m");
    printf "%.0f", (u[1] * 60 + u[2]) * 1000 + (s[1] * 60 + s[2]) * 1000 }')
  echo "$(( (t1 - t0) / 1000000 )) $cpu"
}

printf '%-44s %9s %9s %9s %7s\n' "case" "expected" "measured" "deviation" "cpu"
printf '%-44s %9s %9s %9s %7s\n' "" "ms" "ms" "" "%wall"

start_modem --state pin
read -r wall cpu < <(console_run)
row "console, modem answers at once" 2900 "$wall" "$cpu"

start_modem --silent
read -r wall cpu < <(console_run)
row "console, silent modem" 6400 "$wall" "$cpu"

for case in "0:200:reply at once" "300:900:reply after 300 ms (stage 2)" \
            "1000:2900:reply after 1 s (stage 3)" "silent:2900:silent modem"; do
  IFS=: read -r delay expected label <<<"$case"
  if [ "$delay" = silent ]; then start_modem --silent; else start_modem --reply-delay "$delay"; fi
  read -r ms _ < <("$build/transact_timing" COM1 "at+cpin?")
  row "Transact, $label" "$expected" "$ms" ""
done
