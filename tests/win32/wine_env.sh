# shellcheck shell=bash disable=SC2034  # sets variables for the scripts that source it
# Sourced by the Wine harness scripts. A harness keeps its state in one
# folder of the build tree, the same for setup, cases and cleanup:
#   $state/prefix      path of the Wine prefix (a temporary folder)
#   $state/ports/comN  where COMN leads: Wine's registry maps the port to this
#                      path, and a case puts a link to its pseudo-terminal here
# Wine rewrites its dosdevices links whenever it starts, from the registry key
# HKLM\Software\Wine\Ports; a link to a link is resolved at every open, so one
# mapping serves every case while each case brings its own pseudo-terminal.

# The COM ports the harness maps. Any other number stays unmapped (COM99 is
# the absent port of the tests).
TESSIVO_WINE_PORTS=(1 12)

WINE=${WINE:-wine}
WINESERVER=${WINESERVER:-wineserver}

# Wine quiet, and no offer to install Mono or Gecko. TESSIVO_WINEDEBUG
# brings Wine's messages back when a test needs looking into
# (TESSIVO_WINEDEBUG=err+all,warn+process ctest ...).
export WINEDEBUG=${TESSIVO_WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

wine_env_load() {
  state=$1
  ports=$state/ports
  if [[ ! -s $state/prefix ]]; then
    echo "no Wine prefix in $state: run the setup first" >&2
    return 1
  fi
  WINEPREFIX=$(cat "$state/prefix")
  export WINEPREFIX
}

# Waits up to 10 s for a path to exist.
wait_for_path() {
  local i
  for ((i = 0; i < 200; i++)); do
    [[ -e $1 ]] && return 0
    sleep 0.05
  done
  echo "timed out waiting for $1" >&2
  return 1
}

# Milliseconds on a monotonic-enough clock, for elapsed times.
now_ms() {
  local ns
  ns=$(date +%s%N)
  echo $((ns / 1000000))
}

# A virtual display of our own for Wine's windows: Xvfb picks a free number
# and writes it to FOLDER/display. Sets xvfb_pid (the caller stops it) and
# exports DISPLAY.
start_xvfb() {
  local i
  rm -f "$1/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$1/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for ((i = 0; i < 100; i++)); do
    [[ -s $1/display ]] && break
    sleep 0.1
  done
  DISPLAY=:$(cat "$1/display")
  export DISPLAY
}
