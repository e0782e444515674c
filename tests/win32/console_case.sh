#!/bin/bash
# Runs one case of console_cases.txt: starts the virtual modem behind the
# case's port, runs Tessivo.exe under Wine, and checks the exit status, the
# bytes on the wire, the silence on stdout (and on stderr, or the one line
# the case expects there), the time taken, and never a second AT+CPIN=.
#   console_case.sh STATE MODEMSIM TESSIVO_EXE CASES_FILE NAME
set -euo pipefail
set -f  # arguments are split on blanks, never globbed
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/win32/wine_env.sh
source "$here/wine_env.sh"

state=${1:?state folder}
modemsim=${2:?virtual modem}
exe=${3:?Tessivo.exe}
cases=${4:?cases file}
name=${5:?case name}
wine_env_load "$state"

line=$(grep -m1 "^$name|" "$cases") || {
  echo "no case '$name' in $cases" >&2
  exit 2
}
IFS='|' read -r _ port args modem_options want_status want_wire within_ms want_err want_out <<<"$line"

work=$(mktemp -d "$state/$name.XXXXXX")
sim_pid=
stop() {
  if [[ -n $sim_pid ]]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -f "$ports/$port"
  rm -rf "$work"
}
trap stop EXIT

rm -f "$ports/$port"
# shellcheck disable=SC2086  # the options are words
"$modemsim" --link "$ports/$port" --transcript "$work/transcript" $modem_options \
  </dev/null >"$work/modem.out" 2>&1 &
sim_pid=$!
wait_for_path "$ports/$port"

start=$(now_ms)
status=0
# shellcheck disable=SC2086
"$WINE" "$exe" $args </dev/null >"$work/stdout" 2>"$work/stderr" || status=$?
elapsed=$(($(now_ms) - start))

touch "$work/transcript"
wire=$(awk '$2 == "IN" { sub(/^[^ ]+ IN /, ""); printf "%s", $0 }' "$work/transcript")

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}
[[ $status == "$want_status" ]] || fail "exit status $status, expected $want_status"
if [[ $want_wire == \** ]]; then
  # A wire that ends so: what comes before depends on how long Wine took.
  [[ $wire == *"${want_wire#\*}" ]] || fail "modem received '$wire', expected it to end in '${want_wire#\*}'"
else
  [[ $wire == "$want_wire" ]] || fail "modem received '$wire', expected '$want_wire'"
fi
without_pin=${wire//AT+CPIN=/}
pin_commands=$(((${#wire} - ${#without_pin}) / 8))
((pin_commands <= 1)) || fail "the PIN went out $pin_commands times"
if [[ -z $want_out ]]; then
  [[ ! -s $work/stdout ]] || fail "stdout not empty: $(head -c 300 "$work/stdout")"
else
  grep -qF -- "$want_out" "$work/stdout" || fail "stdout lacks '$want_out': $(head -c 300 "$work/stdout")"
fi
if [[ -z $want_err ]]; then
  [[ ! -s $work/stderr ]] || fail "stderr not empty: $(head -c 300 "$work/stderr")"
else
  if [[ $(wc -l <"$work/stderr") != 1 ]] || ! grep -qF -- "$want_err" "$work/stderr"; then
    fail "stderr is not one line holding '$want_err': $(head -c 300 "$work/stderr")"
  fi
fi
if [[ -n $within_ms ]] && ((elapsed >= within_ms)); then
  fail "took $elapsed ms, expected under $within_ms ms"
fi

echo "Tessivo.exe $args: exit $status after $elapsed ms, modem received '$wire'"
if ((failed)); then
  echo "--- virtual modem"
  cat "$work/modem.out"
  echo "--- transcript"
  cat "$work/transcript"
  exit 1
fi
