#!/bin/bash
# Creates or removes the Wine prefix that a group of Windows tests shares.
#   wine_prefix.sh setup STATE    fresh prefix in a temporary folder, COM
#                                 ports mapped into STATE/ports, Wine running
#   wine_prefix.sh cleanup STATE  stops that prefix's Wine and removes it
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/win32/wine_env.sh
source "$here/wine_env.sh"

action=${1:?setup or cleanup}
state=${2:?state folder}

stop_prefix() {
  if [[ -n ${WINEPREFIX:-} && -d $WINEPREFIX ]]; then
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  rm -rf "$state"
}

case $action in
  setup)
    # A prefix left by an interrupted run goes first.
    if [[ -s $state/prefix ]]; then
      wine_env_load "$state"
      stop_prefix
    fi
    mkdir -p "$state/ports"
    WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tessivo-wine.XXXXXX")
    export WINEPREFIX
    echo "$WINEPREFIX" >"$state/prefix"
    # On a failure, say why before the state goes: the log is in it.
    trap 'status=$?; if [[ $status -ne 0 ]]; then
            echo "Wine prefix setup failed (status $status); its log:" >&2
            tail -n 40 "$state/wineboot.log" >&2 2>/dev/null || true
          fi; stop_prefix' EXIT

    # Wine's own processes outlive this script: keep them off our output,
    # or CTest would wait for them to close it. A first boot that fails on a
    # busy machine gets one more try.
    "$WINE" wineboot -i </dev/null >"$state/wineboot.log" 2>&1 ||
      { "$WINESERVER" -k 2>/dev/null || true; "$WINE" wineboot -i </dev/null >>"$state/wineboot.log" 2>&1; }
    for n in "${TESSIVO_WINE_PORTS[@]}"; do
      "$WINE" reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$state/ports/com$n" /f \
        </dev/null >>"$state/wineboot.log" 2>&1
    done
    # Wine draws on X only, where the dialog tests give it Xvfb. Wine 10
    # would also try Wayland, whose library writes an error to the standard
    # error of whichever program starts Wine's desktop when the session has
    # no runtime folder (a chroot, a service): a console case's.
    "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d x11 /f \
      </dev/null >>"$state/wineboot.log" 2>&1
    # Let Wine write its registry and stop; the next start maps the ports.
    "$WINESERVER" -w
    # One server for all cases, so each run does not start Wine's services
    # anew. It goes away by itself a minute after the last program if the
    # cleanup never comes.
    "$WINESERVER" -p60 </dev/null >/dev/null 2>&1
    "$WINE" cmd /c exit </dev/null >>"$state/wineboot.log" 2>&1
    for n in "${TESSIVO_WINE_PORTS[@]}"; do
      target=$(readlink "$WINEPREFIX/dosdevices/com$n" || true)
      if [[ $target != "$state/ports/com$n" ]]; then
        echo "COM$n is not mapped: dosdevices/com$n -> '$target'" >&2
        exit 1
      fi
    done
    trap - EXIT
    echo "Wine prefix $WINEPREFIX, COM${TESSIVO_WINE_PORTS[*]} mapped into $state/ports"
    ;;
  cleanup)
    if [[ -s $state/prefix ]]; then
      wine_env_load "$state"
      stop_prefix
    fi
    ;;
  *)
    echo "usage: $0 setup|cleanup STATE" >&2
    exit 2
    ;;
esac
