#!/usr/bin/env bash
# What the question "does ModemManager manage this port?" costs before every
# port is opened, where ModemManager is not there: no system bus at all, and
# a bus on which it does not run. Printed against a budget that is small
# beside the serial exchange it precedes (the shortest takes ~200 ms).
# Usage: bench/modemmanager_check.sh [build]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
bus_pid=
cleanup() {
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null && wait "$bus_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export TESSIVO_PORT_DIR=$work
touch "$work/ttyUSB0"
ln -s "$work/ttyUSB0" "$work/com1"
budget_us=5000
count=200

row() {  # label, then the probe's "mean_us managed"
  local mean managed
  read -r mean managed
  printf '%-40s %10s us %10s us  %s\n' "$1" "$mean" "$budget_us" \
    "$([ "$managed" = 0 ] && echo "serial way" || echo "MANAGED?")"
}

printf '%-40s %13s %13s\n' "one check, mean of $count" "measured" "budget"
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" \
  "$build/modemmanager_check_timing" COM1 "$count" | row "no system bus"
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" \
  "$build/modemmanager_check_timing" COM7 "$count" | row "no system bus, port without device"
dbus-daemon --config-file=/usr/share/dbus-1/session.conf --address="unix:path=$work/bus" \
  --nofork >/dev/null 2>&1 &
bus_pid=$!
for _ in $(seq 100); do [ -S "$work/bus" ] && break; sleep 0.05; done
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/bus" \
  "$build/modemmanager_check_timing" COM1 "$count" | row "bus without ModemManager"
