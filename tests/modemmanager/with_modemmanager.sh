#!/bin/bash
# Runs a test program once, beside the real ModemManager managing a set of
# virtual modems, on a private system bus with a mock polkit:
#
#   with_modemmanager.sh TEST_PROGRAM MODEMSIM [arguments for the program]
#
# ModemManager takes only ports with a node under /sys/class/tty, which a
# pseudo-terminal lacks; so, in a private mount namespace, each virtual
# modem's pty is bind-mounted over a console tty node (/dev/ttyN), and a copy
# of the udev rules with one rule per node tells ModemManager to probe it.
# ModemManager 1.24 (Debian 13) also wants to know the port's kernel driver,
# which a console tty has none of: its sysfs folder is covered by a copy with
# a "driver" link to a driver named tessivo-modemsim.
# ModemManager runs without udev and learns the ports from a kernel-event
# file. Nothing outside the namespace changes.
#
# The program finds: DBUS_SYSTEM_BUS_ADDRESS (the bus ModemManager is on),
# TESSIVO_PORT_DIR (comN -> /dev/ttyN for every managed modem),
# TESSIVO_MM_WORK (the folder: sims/ttyN.log are the modems' transcripts,
# quiet-bus a bus where ModemManager does not run).
#
# Without root, unshare, ModemManager, dbus-daemon or python3-dbusmock the
# run cannot happen: exit 77 (a skip) with the reason, or 1 with CI=true.
set -u

# The managed modems: tty number and the virtual modem's options.
MODEMS=(
  "9 --state pin"
  "10 --state pin"
  "11 --state puk"
  "12 --state ready"
  "13 --state pin"
  "14 --state ready --lock off"
  "15 --state pin"
  "16 --state pin"
  "17 --state ready"
  "18 --state ready --lock off"
  "19 --state nosim"
  "20 --state pin"
  "21 --state pin"
  "22 --state pin"
  "23 --state ready"
  "24 --state pin --pin-tries 1"
  "25 --state pin"
  "26 --state pin"
  "27 --state pin"
  "28 --state puk"
  "29 --state puk"
  "30 --state ready"
)

cannot_run() {
  if [ "${CI:-}" = "true" ]; then
    echo "FAILED: the ModemManager tests cannot run here: $1" >&2
    exit 1
  fi
  echo "SKIPPED: the ModemManager tests cannot run here: $1" >&2
  exit 77
}

if [ "${1:-}" != "--inside" ]; then
  [ $# -ge 2 ] || { echo "usage: $0 TEST_PROGRAM MODEMSIM [ARGS...]" >&2; exit 2; }
  [ "$(id -u)" = 0 ] || cannot_run "they need root (mount namespace, tty nodes)"
  for tool in unshare dbus-daemon mmcli gdbus; do
    command -v "$tool" >/dev/null || cannot_run "$tool is not installed"
  done
  [ -x /usr/sbin/ModemManager ] || cannot_run "ModemManager is not installed (package modemmanager)"
  /usr/bin/python3 -c "import dbusmock" 2>/dev/null || cannot_run "python3-dbusmock is not installed"
  [ -e /sys/class/tty/tty25 ] || cannot_run "no console tty nodes (/sys/class/tty/tty9..25)"
  unshare -m --propagation private true 2>/dev/null || cannot_run "unshare -m is not permitted"
  exec unshare -m --propagation private "$0" --inside "$@"
fi
shift
PROGRAM=$1
MODEMSIM=$2
shift 2

W=$(mktemp -d /tmp/tessivo-mm.XXXXXX)
PIDS=()
cleanup() {
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill "${PIDS[i]}" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$W"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

wait_for() {  # seconds, then a command that must succeed
  local limit=$(( $1 * 10 ))
  shift
  for ((i = 0; i < limit; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

start_bus() {  # socket
  dbus-daemon --config-file=/usr/share/dbus-1/session.conf --address="unix:path=$1" \
    --nofork >/dev/null 2>"$1.log" &
  PIDS+=($!)
  wait_for 5 test -S "$1" || { echo "dbus-daemon did not start" >&2; exit 1; }
}

start_bus "$W/bus"
start_bus "$W/quiet-bus"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$W/bus"

/usr/bin/python3 -m dbusmock --system --template polkitd >"$W/polkit.log" 2>&1 &
PIDS+=($!)
# The tests stop and continue it (and ModemManager) to play a stalled one.
export TESSIVO_POLKIT_PID=$!
allow_unknown() {
  gdbus call --system -d org.freedesktop.PolicyKit1 -o /org/freedesktop/PolicyKit1/Authority \
    -m org.freedesktop.DBus.Mock.AllowUnknown true
}
wait_for 10 allow_unknown || { echo "the polkit mock did not start" >&2; cat "$W/polkit.log" >&2; exit 1; }

mkdir -p "$W/sims" "$W/ports"
cp -r /lib/udev/rules.d "$W/rules.d"
RULES="$W/rules.d/78-mm-tessivo-test.rules"
echo 'ACTION!="add|change|move|bind", GOTO="tessivo_test_end"' >"$RULES"
: >"$W/events"
for modem in "${MODEMS[@]}"; do
  read -r n options <<<"$modem"
  # shellcheck disable=SC2086
  "$MODEMSIM" --link "$W/sims/tty$n" $options --transcript "$W/sims/tty$n.log" \
    >"$W/sims/tty$n.out" 2>&1 &
  PIDS+=($!)
done
for modem in "${MODEMS[@]}"; do
  read -r n options <<<"$modem"
  wait_for 5 test -e "$W/sims/tty$n" || { echo "virtual modem tty$n did not start" >&2; exit 1; }
  mount --bind "$(readlink -f "$W/sims/tty$n")" "/dev/tty$n" || exit 1
  # (Without a driver every plugin of ModemManager 1.24, the generic one
  # too, filters the port out unprobed: "not supported by any plugin".)
  sysfs=$W/sysfs/tty$n
  mkdir -p "$sysfs" "$W/drivers/tessivo-modemsim"
  cp "/sys/class/tty/tty$n/dev" "/sys/class/tty/tty$n/uevent" "$sysfs/" || exit 1
  ln -s /sys/class/tty "$sysfs/subsystem"
  ln -s "$W/drivers/tessivo-modemsim" "$sysfs/driver"
  mount --bind "$sysfs" "$(readlink -f "/sys/class/tty/tty$n")" || exit 1
  ln -s "/dev/tty$n" "$W/ports/com$n"
  echo "KERNEL==\"tty$n\", ENV{ID_MM_DEVICE_PROCESS}=\"1\"" >>"$RULES"
  echo "action=add,subsystem=tty,name=tty$n" >>"$W/events"
done
echo 'LABEL="tessivo_test_end"' >>"$RULES"
mount --bind "$W/rules.d" /lib/udev/rules.d || exit 1

started=$(date +%s%N)
/usr/sbin/ModemManager --test-no-udev --no-auto-scan --initial-kernel-events="$W/events" \
  --debug >"$W/modemmanager.log" 2>&1 &
PIDS+=($!)
export TESSIVO_MM_PID=$!

# Ready when every modem is there and has told what its SIM waits for.
all_settled() {
  local paths
  paths=$(mmcli -L 2>/dev/null | grep -o '/org/freedesktop/ModemManager1/Modem/[0-9]*')
  [ "$(echo "$paths" | grep -c Modem/)" = "${#MODEMS[@]}" ] || return 1
  for path in $paths; do
    mmcli -m "$path" -K 2>/dev/null | grep -Eq 'modem.generic.state +: (initializing|unknown)' &&
      return 1
  done
  return 0
}
if ! wait_for 60 all_settled; then
  echo "ModemManager did not take up all ${#MODEMS[@]} modems:" >&2
  mmcli -L >&2
  tail -40 "$W/modemmanager.log" >&2
  exit 1
fi
echo "ModemManager took up ${#MODEMS[@]} modems in $(( ($(date +%s%N) - started) / 1000000 )) ms"

export TESSIVO_PORT_DIR="$W/ports" TESSIVO_MM_WORK="$W"
"$PROGRAM" "$@"
status=$?
[ $status = 0 ] || tail -60 "$W/modemmanager.log" >&2
exit $status
