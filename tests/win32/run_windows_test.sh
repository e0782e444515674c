#!/bin/bash
# Runs a Windows test program in the shared Wine prefix and passes its exit
# status on.
#   run_windows_test.sh [--loopback comN] STATE PROGRAM.exe [ARGS...]
# --loopback puts a pseudo-terminal behind comN that sends back every byte
# written to it, and names it to the program in TESSIVO_TEST_PORT.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/win32/wine_env.sh
source "$here/wine_env.sh"

loopback=
if [[ ${1:-} == --loopback ]]; then
  loopback=$2
  shift 2
fi
state=${1:?state folder}
program=${2:?program}
shift 2
wine_env_load "$state"

socat_pid=
# shellcheck disable=SC2317  # run by the trap
stop() {
  if [[ -n $socat_pid ]]; then
    kill "$socat_pid" 2>/dev/null || true
    wait "$socat_pid" 2>/dev/null || true
  fi
  [[ -n $loopback ]] && rm -f "$ports/$loopback"
  return 0
}
trap stop EXIT

if [[ -n $loopback ]]; then
  rm -f "$ports/$loopback"
  socat "pty,link=$ports/$loopback,raw,echo=0" "exec:cat" </dev/null >/dev/null 2>&1 &
  socat_pid=$!
  wait_for_path "$ports/$loopback"
  export TESSIVO_TEST_PORT=$loopback
fi

# Through a file: should Wine have to start its services again, they would
# otherwise inherit CTest's output pipe and hold the test open.
output=$state/output.$$
status=0
"$WINE" "$program" "$@" </dev/null >"$output" 2>&1 || status=$?
cat "$output"
rm -f "$output"
exit "$status"
