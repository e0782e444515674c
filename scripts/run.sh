#!/usr/bin/env bash
# The main job, with the built-in virtual modem standing in for a USB stick:
# builds Tessivo and starts the virtual modem as COM1 (SIM waiting for PIN
# 1234). With a display, the dialog opens on it (type the PIN, press "PIN
# senden"); without one, or with --console, the console form
# `tessivo COM1 1234` unlocks it. Then it shows what the modem saw.
# Usage: scripts/run.sh [--console] [PIN]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
console=
if [ "${1:-}" = --console ]; then console=1; shift; fi
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || console=1
pin=${1:-1234}
"$here/scripts/setup.sh"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
# Only the programs this runs (tessivo becomes tessivo-dialog for the
# dialog); the tests are scripts/test.sh's business.
cmake --build "$here/build" -j"$(nproc)" --target tessivo tessivo-dialog tessivo-modemsim >/dev/null

ports=$(mktemp -d)
"$here/build/tessivo-modemsim" --link "$ports/com1" --pin 1234 >"$ports/modem.log" 2>&1 &
modem=$!
trap 'kill $modem 2>/dev/null; wait $modem 2>/dev/null; rm -rf "$ports"' EXIT
for _ in $(seq 100); do [ -s "$ports/modem.log" ] && break; sleep 0.05; done
export TESSIVO_PORT_DIR=$ports

if [ -z "$console" ]; then
  echo "\$ tessivo        (the dialog; the virtual modem's PIN is 1234)"
  status=0
  "$here/build/tessivo" 2>"$ports/stderr" || status=$?
  if [ $status -ne 2 ]; then
    cat "$ports/stderr" >&2
    echo
    echo "The virtual modem reports:"
    sed 's/^/  /' "$ports/modem.log"
    exit 0
  fi
  # Exit status 2: DISPLAY names a display that does not answer.
  echo "(no display answered; the console form instead)"
  console=1
fi

echo "\$ tessivo COM1 $pin"
status=0
"$here/build/tessivo" COM1 "$pin" || status=$?
if [ $status -eq 0 ]; then
  echo "exit status 0: PIN accepted (one high tone)"
else
  echo "exit status $status: PIN not accepted (two low tones; see the README's exit statuses)"
fi
echo
echo "The virtual modem reports:"
sed 's/^/  /' "$ports/modem.log"
