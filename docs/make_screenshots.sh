#!/bin/bash
# Draws the screenshots of the dialog under docs/:
#   dialog-linux-<state>.png   the Qt dialog (Qt's grab, offscreen platform,
#                              a fake modem on COM3)
#   dialog-wine.png            Tessivo.exe under Wine on a virtual X display
#                              (Xvfb, ImageMagick's import), the virtual
#                              modem on COM1 with a SIM waiting for its PIN
#   dialog-wine-100-150.png    the same at 100 % and at 150 % (Wine's
#                              LogPixels 96 and 144) side by side
# Usage: docs/make_screenshots.sh LINUX_BUILD WINDOWS_BUILD
#   e.g. docs/make_screenshots.sh build build-win
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux_build=$(cd "${1:?Linux build folder}" && pwd)
windows_build=$(cd "${2:?Windows build folder}" && pwd)
docs=$root/docs

for state in pin-expected accepted wrong-pin pin-request-off; do
  "$linux_build/tests/ui/dialog_screenshot" "$docs/dialog-linux-$state.png" "$state"
done

harness=$root/tests/win32
source "$harness/wine_env.sh"
state=$(mktemp -d "${TMPDIR:-/tmp}/tessivo-shots.XXXXXX")
xvfb_pid=
sim_pid=
app_pid=
stop() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null
  "$harness/wine_prefix.sh" cleanup "$state/wine" || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$state"
  return 0
}
trap stop EXIT

start_xvfb "$state"

"$harness/wine_prefix.sh" setup "$state/wine" >/dev/null
wine_env_load "$state/wine"
"$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Verdana /t REG_SZ \
  /d "DejaVu Sans" /f </dev/null >/dev/null 2>&1
"$linux_build/tessivo-modemsim" --link "$ports/com1" >/dev/null 2>&1 &
sim_pid=$!
wait_for_path "$ports/com1"

# A Wine desktop of its own, so that Wine draws the window frame and caption
# as Windows would; the dialog centres itself on it. One run per scale: the
# screen's dots per inch are read when Wine starts.
shoot() {
  local dpi=$1 out=$2 desktop=
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    </dev/null >/dev/null 2>&1
  "$WINESERVER" -k || true
  "$WINESERVER" -w
  "$WINE" explorer /desktop=Tessivo,900x640 "$windows_build/Tessivo.exe" </dev/null >/dev/null 2>&1 &
  app_pid=$!
  for _ in $(seq 300); do
    desktop=$(xdotool search --name 'Wine desktop' 2>/dev/null | head -1 || true)
    [[ -n $desktop ]] && break
    sleep 0.1
  done
  # Discovery and probe take a few seconds against the modem; the caption
  # appears only when the dialog shows.
  sleep 8
  import -window "$desktop" "$state/desktop.png"
  # Everything but the dialog is the desktop's even background.
  convert "$state/desktop.png" -trim +repage "$out"
  kill "$app_pid" 2>/dev/null || true
  "$WINESERVER" -k || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=
}
shoot 96 "$docs/dialog-wine.png"
shoot 144 "$state/dialog-wine-150.png"
convert "$docs/dialog-wine.png" -size 24x1 xc:white "$state/dialog-wine-150.png" \
  -background white -gravity north +append +repage "$docs/dialog-wine-100-150.png"
echo "wrote $docs/dialog-linux-*.png and $docs/dialog-wine*.png"
