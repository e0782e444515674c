#!/bin/bash
# Runs the dialog test driver (or any Win32 program that drives Tessivo.exe)
# under Wine on a virtual X display, with the virtual modem on COM1.
#   run_dialog_tests.sh STATE MODEMSIM TESSIVO.exe DRIVER.exe [DRIVER ARGS...]
# STATE is a scratch folder. MODEMSIM options can be given in the
# environment as TESSIVO_MODEMSIM_OPTIONS (default: a SIM waiting for 1234),
# the screen's dots per inch as TESSIVO_WINE_LOGPIXELS (default 96).
# The driver finds the program through TESSIVO_EXE (a Windows path).
set -euo pipefail
# Most steps below are quiet; a step that fails says which it was.
trap 'echo "run_dialog_tests.sh: line $LINENO failed (status $?): $BASH_COMMAND" >&2' ERR
here=$(cd "$(dirname "$0")" && pwd)
harness=$here/..
source "$harness/wine_env.sh"

state=${1:?state folder}
modemsim=${2:?tessivo-modemsim}
program=${3:?Tessivo.exe}
driver=${4:?driver}
shift 4
mkdir -p "$state"

xvfb_pid=
sim_pid=
stop() {
  trap - ERR  # a modem ended by kill is no failure
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  "$harness/wine_prefix.sh" cleanup "$state" || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  return 0
}
trap stop EXIT

start_xvfb "$state"

"$harness/wine_prefix.sh" setup "$state" >/dev/null
wine_env_load "$state"
# Only COM1, where the virtual modem goes, is a port here. Wine gives the
# host's serial devices (/dev/ttyS0, which opens for root) the first free COM
# numbers, and a mapped port without a device behind it still opens; either
# would be the dialog's discovery fall-back for a silent port. Wine skips a
# port whose dosdevices link it cannot write, so a folder in place of each of
# COM2-COM20 (all that discovery tries) keeps them unopenable once Wine
# starts again.
for n in $(seq 2 20); do
  rm -rf "$WINEPREFIX/dosdevices/com$n"
  mkdir "$WINEPREFIX/dosdevices/com$n"
done
"$WINESERVER" -k || true
"$WINESERVER" -w
"$WINESERVER" -p60 </dev/null >/dev/null 2>&1
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1
for n in $(seq 2 20); do
  if [[ -L $WINEPREFIX/dosdevices/com$n ]]; then
    echo "Wine linked COM$n to $(readlink "$WINEPREFIX/dosdevices/com$n") again" >&2
    exit 1
  fi
done
# Verdana is not installed here: let Wine take DejaVu Sans, as Qt does.
"$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Verdana /t REG_SZ \
  /d "DejaVu Sans" /f </dev/null >/dev/null 2>&1

# The screen's scale, as Windows' display settings set it (144: 150 %).
"$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
  /d "${TESSIVO_WINE_LOGPIXELS:-96}" /f </dev/null >/dev/null 2>&1

# shellcheck disable=SC2086
"$modemsim" --link "$ports/com1" ${TESSIVO_MODEMSIM_OPTIONS:-} >"$state/modemsim.log" 2>&1 &
sim_pid=$!
wait_for_path "$ports/com1"

TESSIVO_EXE=$("$WINE" winepath -w "$program" 2>/dev/null | tr -d '\r')
export TESSIVO_EXE
status=0
"$WINE" "$driver" "$@" </dev/null >"$state/driver.log" 2>&1 || status=$?
cat "$state/driver.log"
exit "$status"
