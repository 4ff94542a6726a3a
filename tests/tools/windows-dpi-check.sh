#!/usr/bin/env bash
# Runs inside xvfb-run (a screen of at least 640 x 800): with Wine set to
# 192 DPI (200 %, as Windows' display settings set it), a Windows host that
# is per-monitor DPI aware, as today's are, opens the full editor. Its window
# must be 512 x 700, drawn at twice the scale, and a click on Play at its
# doubled place must start playback. The setting is 96 DPI again afterwards.
#   windows-dpi-check.sh WORK STATE WINDOWS_BUILD_DIR
# STATE is a deck state saved stopped (windows-editor-check.sh makes one).
set -euo pipefail
work=$1
state=$2
build=$3
wine=/usr/lib/wine/wine64
# shellcheck source=tests/tools/wine-host.sh
. "$(dirname "$0")/wine-host.sh"

set_dpi() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f > /dev/null 2>&1
  /usr/lib/wine/wineserver -w
}
set_dpi 192
trap 'set_dpi 96' EXIT

TUNEDECK_HOST_DPI_AWARE=1 "$wine" "$build/tests/tunedeck-editor-host.exe" "$build/vst/tunedeck.dll" "$state" 20 \
  > "$work/dpi-host.log" 2>&1 &
host=$!
wait_for_host "$work/dpi-host.log" "$host"
echo "at 192 DPI the editor is at $x,$y, $width x $height"
if [ "$width" != 512 ] || [ "$height" != 700 ]; then
  kill "$host" 2>/dev/null || true
  echo "the editor's window is not 512 x 700 at 192 DPI"
  exit 1
fi
# Play's key is at 64..80 x 44..60 of the layout: twice that on the screen.
xdotool mousemove $((x + 144)) $((y + 104)) click 1
status=0
wait "$host" || status=$?
tr -d '\r' < "$work/dpi-host.log" | grep -v '^ready'
[ "$status" -eq 0 ] || { echo "a click on the doubled Play did not start playback"; exit 1; }
