#!/bin/bash
# MIDI keys and a Vol lane in Ardour's headless Lua host (Debian's ardour
# and sox packages), at 48 kHz and 1,024-frame buffers:
# - a play key at sample 48,300 and a cue key at 120,700, sent by a Lua DSP
#   processor before the deck, must change the exported sound on exactly
#   those samples (a 10 s sawtooth track: play starts it at -0.25, the cue
#   jumps it to its middle, 0);
# - a Vol lane of 100 steps from 1 to 0.5 over 2 s on a 1 kHz tone must add
#   nothing above 5 kHz to the export's own floor (no zipper).
# Not part of the test suite: it needs Ardour and a few minutes.
#   tools/ardour/on-sample.sh [build-dir]
set -euo pipefail
build=$(realpath "${1:-build}")
here=$(cd "$(dirname "$0")" && pwd)
work=/tmp/tunedeck-ardour
scripts="$HOME/.config/ardour7/scripts"
rm -rf "$work" && mkdir -p "$work" "$scripts"
trap 'rm -f "$scripts/tunedeck-key-generator.lua"' EXIT
cp "$build/vst/tunedeck.so" "$work/"
# Ardour keeps the scan's time in whole seconds and takes a library newer
# than its scan for one that changed since.
touch -d "@$(($(date +%s) - 60))" "$work/tunedeck.so"
cd "$work"
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f "$work/tunedeck.so" > /dev/null

session() { # track state-options...
  local track=$1; shift
  "$build/tunedeck-render" --state-out state.bin --seconds 0.01 "$@" --out /dev/null "$work/$track"
  rm -rf sess
  # ardour7-lua answers 1 even when the script ran to its end: its products are checked.
  SETS="" LXVST_PATH="$work" ardour7-lua "$here/create.lua" > create.log 2>&1 || true
  python3 "$here/inject.py" sess/deck.ardour state.bin > /dev/null
}

sox -n -r 48000 -c 2 -b 16 ramp.wav synth 10 sawtooth 0.1 vol 0.5
session ramp.wav --paused
# Only while it is needed: with it in Ardour's scripts, the deck's own
# plug-in could not be found by name.
cp "$here/key-generator.lua" "$scripts/tunedeck-key-generator.lua"
KEYS=1 EXPORT_NAME=keys LXVST_PATH="$work" ardour7-lua "$here/keys-and-lane.lua" > keys.log 2>&1 || true
rm -f "$scripts/tunedeck-key-generator.lua"
python3 - <<'PY'
import struct, subprocess
raw = subprocess.run(['sox', 'keys.wav', '-t', 'f32', '-e', 'floating-point', '-'], capture_output=True).stdout
left = struct.unpack('<%df' % (len(raw) // 4), raw)[0::2]
loud = next(i for i, v in enumerate(left) if abs(v) > 0.01)
print("play key at 48300: sound from sample", loud, "value %.4f" % left[loud])
jump = next(i for i in range(loud + 1, len(left)) if abs(left[i] - left[i - 1]) > 0.01)
print("cue key at 120700: the sound jumps at sample", jump, "from %.4f to %.4f" % (left[jump - 1], left[jump]))
PY

sox -n -r 48000 -c 2 -b 16 tone.wav synth 10 sine 1000 vol 0.5
session tone.wav
VOL_RAMP="1,0.5,2,100" EXPORT_NAME=vol LXVST_PATH="$work" ardour7-lua "$here/keys-and-lane.lua" > vol.log 2>&1 || true
sox vol.wav above.wav remix 1 sinc 5k
for part in "0.2 0.6 before" "1.2 1.6 during" "3.2 0.6 after"; do
  set -- $part
  echo "$3 the lane: tone $(sox vol.wav -n remix 1 trim $1 $2 stats 2>&1 | awk '/RMS lev dB/ {print $4}') dB," \
       "above 5 kHz $(sox above.wav -n trim $1 $2 stats 2>&1 | awk '/RMS lev dB/ {print $4}') dB"
done
