#!/usr/bin/env bash
# `tessivo --wait` timings against the virtual modem, printed against the
# figures the design implies: a look about once a second, the PIN soon after
# the SIM is ready, and the run ending right after the deadline (plus the
# one-second failure signal). Usage: bench/wait_timing.sh [build]
set -euo pipefail
build=${1:-build}
build=$(cd "$build" && pwd)
work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cat >"$work/asound.conf" <<CONF
pcm.!default { type null }
CONF
export ALSA_CONFIG_PATH=$work/asound.conf

start_modem() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -f "$work/port" "$work/transcript"
  "$build/tessivo-modemsim" --link "$work/port" --transcript "$work/transcript" "$@" \
    >"$work/sim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do [ -e "$work/port" ] && [ -s "$work/sim.out" ] && return; sleep 0.05; done
  echo "virtual modem did not start" >&2
  exit 1
}

row() { # label expected measured
  printf '%-52s %10s %10s\n' "$1" "$2" "$3"
}

wait_run() { # wall ms of one run
  local t0 t1
  t0=$(date +%s%N)
  "$build/tessivo" --wait "$1" "$2" 1234 >/dev/null 2>&1 || true
  t1=$(date +%s%N)
  echo $(((t1 - t0) / 1000000))
}

# Milliseconds (sim time) at which each command line arrived that begins so.
arrivals() {
  P=$1 awk '$2 == "IN" && index($3, ENVIRON["P"]) == 1 { printf "%d\n", $1 }' "$work/transcript"
}

printf '%-52s %10s %10s\n' "case" "expected" "measured"

start_modem --busy-at-start 4000
wait_run 10 "$work/port" >/dev/null
looks=$(arrivals 'AT\r' | awk 'NR > 1 { s += $1 - last; n++ } { last = $1 } END { if (n) printf "%d", s / n }')
row "look interval, SIM busy for 4 s (ms)" 1000 "$looks"
pin_at=$(arrivals 'AT+CPIN=' | head -1)
row "SIM ready -> PIN on the wire (ms, at most)" 1900 "$((pin_at - 4000))"
row "PIN commands sent" 1 "$(arrivals 'AT+CPIN=' | wc -l)"

row "--wait 3, absent port: whole run (ms)" 4000 "$(wait_run 3 "$work/absent")"

start_modem --silent
# One look: AT waits 5 s for a whole answer, and the deadline has passed then.
row "--wait 2, silent modem: whole run (ms)" 5000 "$(wait_run 2 "$work/port")"
