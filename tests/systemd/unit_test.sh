#!/bin/bash
# The unlock unit as systemd and a user meet it:
#  1. systemd-analyze verify passes on it (for an instance, as the udev rule
#     starts it);
#  2. its ExecStart line, run as written with a PIN file on standard input
#     (StandardInput=), unlocks the virtual modem with exactly one AT+CPIN=;
#  3. the same line leaves an already unlocked SIM alone: nothing sent, 0.
# The instance is the virtual modem's pseudo-terminal (pts/N, escaped pts-N),
# so /dev/%I is that terminal.
#   unit_test.sh UNIT TESSIVO MODEMSIM
# TESSIVO replaces the program of the ExecStart line; "-" keeps the unit's
# own (an installed package), and checks its manual page too.
# With CI=true a missing systemd-analyze fails; elsewhere it skips (77).
set -uo pipefail
unit=${1:?unit file}
tessivo=${2:?tessivo or -}
modemsim=${3:?tessivo-modemsim}

if ! command -v systemd-analyze >/dev/null; then
  echo "systemd-analyze not found (package systemd)"
  [[ ${CI:-} == true ]] && exit 1
  exit 77
fi

work=$(mktemp -d)
sim_pid=
cleanup() {
  if [[ -n $sim_pid ]]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

units=$work/units
mkdir -p "$units"
man=yes
if [[ $tessivo == - ]]; then
  cp "$unit" "$units/tessivo-unlock@.service"
else
  # The build's program in place of the installed one; no manual page then.
  sed "s|^ExecStart=[^ ]*|ExecStart=$tessivo|" "$unit" >"$units/tessivo-unlock@.service"
  man=no
fi
# An instance beside its template, as systemd finds it.
ln -s tessivo-unlock@.service "$units/tessivo-unlock@ttyUSB2.service"
# A setting it cannot parse is only a warning to systemd ("ignoring"), so any
# output at all fails the check.
if systemd-analyze verify --man="$man" "$units/tessivo-unlock@ttyUSB2.service" >"$work/verify" 2>&1 &&
  [[ ! -s $work/verify ]]; then
  echo "ok: systemd-analyze verify tessivo-unlock@ttyUSB2.service"
else
  fail "systemd-analyze verify: $(cat "$work/verify")"
fi

exec_start=$(sed -n 's/^ExecStart=//p' "$units/tessivo-unlock@.service")
pin_file=$(sed -n 's/^StandardInput=file://p' "$units/tessivo-unlock@.service")
[[ $pin_file == /etc/tessivo/pin ]] || fail "standard input is '$pin_file', not the PIN file"
[[ -n $exec_start ]] || fail "no ExecStart line"

# run_exec_start OPTIONS...: the virtual modem with those options, the
# ExecStart line against it; sets status, wire and log.
run_exec_start() {
  local link=$work/modem transcript=$work/transcript pts instance command
  rm -f "$link" "$transcript"
  "$modemsim" --link "$link" --transcript "$transcript" "$@" </dev/null >"$work/modem.log" 2>&1 &
  sim_pid=$!
  for _ in $(seq 200); do [[ -e $link ]] && break; sleep 0.05; done
  pts=$(readlink "$link")
  instance=${pts#/dev/}
  # %I is the unescaped instance: pts/5 for tessivo-unlock@pts-5.service.
  [[ $(systemd-escape -u "$(systemd-escape "$instance")") == "$instance" ]] || fail "instance $instance"
  command=${exec_start//%I/$instance}
  status=0
  # The line's words, as systemd splits a line without quotes.
  read -r -a words <<<"$command"
  env -u DISPLAY -u WAYLAND_DISPLAY "${words[@]}" <"$work/pin" >"$work/out" 2>"$work/err" || status=$?
  kill "$sim_pid" 2>/dev/null
  wait "$sim_pid" 2>/dev/null
  sim_pid=
  touch "$transcript"
  wire=$(awk '$2 == "IN" { sub(/^[^ ]+ IN /, ""); printf "%s", $0 }' "$transcript")
  echo "  $command < PIN file: exit $status, stderr: $(cat "$work/err")"
}
printf '1234\n' >"$work/pin"
chmod 600 "$work/pin"

run_exec_start --pin 1234
[[ $status == 0 ]] || fail "exit status $status, expected 0"
[[ $(grep -o 'AT+CPIN=' <<<"$wire" | wc -l) == 1 ]] || fail "wire '$wire': not exactly one AT+CPIN="
grep -q 'PIN accepted: SIM unlocked' "$work/modem.log" || fail "the modem was not unlocked: $(cat "$work/modem.log")"
grep -q 'PIN angenommen' "$work/err" || fail "no outcome line on stderr"

run_exec_start --pin 1234 --state ready
[[ $status == 0 ]] || fail "unlocked SIM: exit status $status, expected 0"
[[ $wire != *AT+CPIN=* ]] || fail "unlocked SIM got the PIN: '$wire'"

# A PIN the modem echoed and answered too late ends with 10, and the unit
# never starts again after 10, nor after a kill (the PIN may have gone out).
run_exec_start --pin 1234 --late-final 6500
[[ $status == 10 ]] || fail "PIN answered too late: exit status $status, expected 10"
prevent=" $(sed -n 's/^RestartPreventExitStatus=//p' "$units/tessivo-unlock@.service") "
for kept in 1 6 9 10 SIGTERM SIGKILL; do
  [[ $prevent == *" $kept "* ]] || fail "RestartPreventExitStatus lacks $kept: '$prevent'"
done

if ((failed)); then
  cat "$work/modem.log"
  exit 1
fi
echo "ok: the ExecStart line unlocks the virtual modem, and leaves an unlocked SIM alone"
