#!/usr/bin/env bash
# Timings of the dialog's operations against the virtual modem, printed
# against the envelopes the modem waits imply (open 100 ms; an exchange
# 200 ms with an answering modem, 2,900 ms with a silent one; the PIN's late
# collection 500 + 1,900 ms; tones 200 ms or 1,000 ms).
# Usage: bench/dialog_timing.sh [build]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
sim_pid=
stop_modem() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  sim_pid=
  rm -f "$work/com1"
}
trap 'stop_modem; rm -rf "$work"' EXIT
export TESSIVO_PORT_DIR=$work
printf 'pcm.!default { type null }\n' >"$work/asound.conf"
export ALSA_CONFIG_PATH=$work/asound.conf

start_modem() {
  stop_modem
  "$build/tessivo-modemsim" --link "$work/com1" "$@" >"$work/sim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do [ -e "$work/com1" ] && [ -s "$work/sim.out" ] && return; sleep 0.05; done
  echo "virtual modem did not start" >&2
  exit 1
}

row() {  # label expected measured
  awk -v l="$1" -v e="$2" -v m="$3" 'BEGIN {
    d = e > 0 ? sprintf("%+.1f%%", 100 * (m - e) / e) : sprintf("%+d ms", m - e)
    printf "%-46s %9d %9d %10s\n", l, e, m, d }'
}

measure() {  # prints the time of the run's user and system CPU too
  local out
  out=$( { TIMEFORMAT='%U %S'; time "$build/dialog_timing" "$@" >"$work/run.out"; } 2>&1 )
  read -r ms _ <"$work/run.out"
  cpu=$(awk -v t="$out" 'BEGIN { split(t, a, " "); printf "%.0f", (a[1] + a[2]) * 1000 }')
  echo "$ms $cpu"
}

printf '%-46s %9s %9s %10s\n' "case" "expected" "measured" "deviation"
printf '%-46s %9s %9s %10s\n' "" "ms" "ms" ""

stop_modem
read -r ms cpu < <(measure start)
row "dialog start, 20 absent ports" 0 "$ms"

start_modem --state pin
read -r ms cpu < <(measure start)
row "dialog start, modem on COM1 (find + probe)" 1000 "$ms"
read -r ms cpu < <(measure test)
row "Modem testen, answering modem" 700 "$ms"
read -r ms cpu < <(measure send 1234)
row "PIN senden, answering modem (probe+PIN+tone)" 3600 "$ms"

start_modem --silent
read -r ms cpu < <(measure test)
row "Modem testen, silent modem" 8800 "$ms"
read -r ms cpu < <(measure send 1234)
row "PIN senden, silent modem (two probes)" 17600 "$ms"
echo "(CPU time of the last run: ${cpu} ms)"
