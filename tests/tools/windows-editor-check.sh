#!/usr/bin/env bash
# Runs inside xvfb-run (a 24-bit screen): a Windows host under wine64 opens
# the full editor in a framed window of its own, with the deck state saved
# in WORK/deck.state. The screen must show exactly the off-screen drawing in
# WORK/offscreen.png, and a click on Play through the X server must start
# playback, which the host hears in the plug-in's output; then the Play key
# on the screen must look as in WORK/playing.png, the off-screen drawing of
# the deck playing (the window shows what changed, not only a first paint).
# Last, a file dropped on the window (WM_DROPFILES) must join the track list.
#   windows-editor-check.sh WORK TRACK WINDOWS_BUILD_DIR [PICTURE.png]
# WORK is an empty folder; the drawings and the state are made there from
# TRACK by the Windows tunedeck-render.exe.
# With PICTURE.png it then shows the host again on a Wine desktop, which
# draws the window's frame as Windows does, and writes that picture there.
set -euo pipefail
work=$1
track=$2
build=$3
picture=${4:-}
wine=/usr/lib/wine/wine64
# shellcheck source=tests/tools/wine-host.sh
. "$(dirname "$0")/wine-host.sh"
# A wine session started without a display (the tests before this one) keeps
# a desktop that cannot show windows: this check starts one on Xvfb's screen.
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wineserver -w

cp "$track" "$work/"
(cd "$work" && "$wine" "$OLDPWD/$build/tunedeck-render.exe" --paused --seconds 0 --out none.wav \
   --state-out deck.state --screenshot offscreen.png "$(basename "$track")" > /dev/null &&
 "$wine" "$OLDPWD/$build/tunedeck-render.exe" --seconds 0 --out none.wav --screenshot playing.png \
   "$(basename "$track")" > /dev/null)

cp "$track" "$work/dropped-$(basename "$track")"
"$wine" "$build/tests/tunedeck-editor-host.exe" "$build/vst/tunedeck.dll" "$work/deck.state" 20 \
  "$work/dropped-$(basename "$track")" > "$work/host.log" 2>&1 &
host=$!
wait_for_host "$work/host.log" "$host"
echo "the editor is at $x,$y, $width x $height"

# The overview may still be on its way: a few tries, a second apart.
shown=0
for _ in 1 2 3 4 5; do
  xwd -root -silent -out "$work/screen.xwd"
  if python3 tests/tools/compare-screen.py "$work/screen.xwd" "$x" "$y" "$work/offscreen.png" "$work/difference.png"; then
    shown=1
    break
  fi
  sleep 1
done
if [ "$shown" -ne 1 ]; then
  kill "$host" 2>/dev/null || true
  echo "the window does not show the off-screen drawing (screen left, drawing right: $work/difference.png)"
  exit 1
fi

# Play's key is at 64..80 × 44..60 in the full editor.
xdotool mousemove $((x + 72)) $((y + 52)) click 1
for _ in $(seq 300); do
  grep -q -e '^playing' -e '^no playback' -e '^sound' "$work/host.log" && break
  kill -0 "$host" 2>/dev/null || break
  sleep 0.1
done
lit=1
if grep -q '^playing' "$work/host.log"; then
  sleep 0.5
  xwd -root -silent -out "$work/playing.xwd"
  python3 tests/tools/compare-screen.py "$work/playing.xwd" "$x" "$y" "$work/playing.png" --area 64 44 80 60 || lit=0
fi
status=0
wait "$host" || status=$?
tr -d '\r' < "$work/host.log" | grep -v '^ready'
[ "$status" -eq 0 ] || { echo "a click on Play did not start playback, or a drop was not taken"; exit 1; }
[ "$lit" -eq 1 ] || { echo "the window does not show the Play key lit"; exit 1; }

if [ -n "$picture" ]; then
  "$wine" explorer /desktop=tunedeck,340x440 "$build/tests/tunedeck-editor-host.exe" "$build/vst/tunedeck.dll" \
    "$work/deck.state" 4 > "$work/picture-host.log" 2>&1 &
  sleep 3
  xwd -root -silent -out "$work/desktop.xwd"
  wait || true
  # The host's window, with a little of the desktop round it.
  python3 tests/tools/compare-screen.py --crop "$work/desktop.xwd" 30 30 310 422 "$picture"
fi
