#!/bin/bash
# MIDI keys and a Vol lane in Ardour's headless Lua host (Debian's ardour
# and sox packages), at 48 kHz and 1,024-frame buffers:
# - a play key at sample 48,300 and a cue key at 120,700, sent by a Lua DSP
#   processor before the deck, must change the exported sound on exactly
#   those samples (a 10 s sawtooth track: play starts it at -0.25, the cue
#   crossfades it into its middle, 0);
# - a Vol lane of 100 steps from 1 to 0.5 over 2 s on a 1 kHz tone must add
#   nothing above 5 kHz to the export's own floor (no zipper).
# Not part of the test suite: it needs Ardour and a few minutes. It writes
# under the build folder (ardour-work), and Ardour keeps its recent-sessions list and
# plug-in cache in ~/.config/ardour7 and ~/.cache/ardour7.
#   FORMAT=vst2 (the default), lv2 or vst3 tools/ardour/on-sample.sh [build-dir]
set -euo pipefail
build=$(realpath "${1:-build}")
here=$(cd "$(dirname "$0")" && pwd)
work=$build/ardour-work
scripts="$HOME/.config/ardour7/scripts"
rm -rf "$work" && mkdir -p "$work" "$scripts"
# The deck's track store goes with the work, not into the user's own.
export XDG_DATA_HOME=$work/data
trap 'rm -f "$scripts/tunedeck-key-generator.lua"' EXIT
format=${FORMAT:-vst2}
case $format in
  vst2)
    cp "$build/vst/tunedeck.so" "$work/"
    # Ardour keeps the scan's time in whole seconds and takes a library newer
    # than its scan for one that changed since.
    touch -d "@$(($(date +%s) - 60))" "$work/tunedeck.so"
    LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f "$work/tunedeck.so" > /dev/null
    export LXVST_PATH=$work PTYPE=LXVST PLUG="Trakvox VST 2" VOL_PARAM=10 ;;
  lv2)
    export LV2_PATH=$build/lv2:/usr/lib/lv2 PTYPE=LV2 PLUG=Trakvox VOL_PARAM=13 ;;
  vst3)
    LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -f "$build/vst3/tunedeck.vst3" > /dev/null
    export VST3_PATH=$build/vst3 PTYPE=VST3 PLUG=Trakvox VOL_PARAM=10 ;;
  *) echo "FORMAT is vst2, lv2 or vst3" >&2; exit 2 ;;
esac
cd "$work"

# Ardour 7.3's headless export sometimes aborts on its own (a double free
# in Ardour, seen with its own synth too): a run whose file is missing or
# short, or whose header counts no frames (an abort can leave a full-size
# file with an empty data chunk), is tried again.
export_until_whole() { # name env...
  local name=$1; shift
  for attempt in 1 2 3; do
    rm -f "$name.wav"
    env "$@" EXPORT_NAME="$name" ardour7-lua "$here/keys-and-lane.lua" > "$name.log" 2>&1 || true
    if [ "$(stat -c %s "$name.wav" 2>/dev/null || echo 0)" -ge 768044 ] &&
       [ "$(soxi -s "$name.wav" 2>/dev/null || echo 0)" -ge 192000 ]; then
      return 0
    fi
    echo "export $name failed (attempt $attempt), trying again" >&2
  done
  return 1
}

session() { # track state-options...
  local track=$1; shift
  "$build/tunedeck-render" --state-out state.bin --seconds 0.01 "$@" --out /dev/null "$work/$track"
  # ardour7-lua answers 1 even when the script ran to its end, and now and
  # then aborts on its own: the session it saved is what is checked.
  for attempt in 1 2 3; do
    rm -rf sess
    SETS="" ardour7-lua "$here/create.lua" > create.log 2>&1 || true
    [ -f sess/deck.ardour ] && python3 "$here/inject.py" sess/deck.ardour state.bin > /dev/null 2>&1 && return 0
    echo "session for $track failed (attempt $attempt), trying again" >&2
  done
  return 1
}

sox -n -r 48000 -c 2 -b 16 ramp.wav synth 10 sawtooth 0.1 vol 0.5
session ramp.wav --paused
# Only while it is needed: with it in Ardour's scripts, the deck's own
# plug-in could not be found by name.
cp "$here/key-generator.lua" "$scripts/tunedeck-key-generator.lua"
export_until_whole keys KEYS=1
rm -f "$scripts/tunedeck-key-generator.lua"
python3 - <<'PY'
import struct, subprocess
raw = subprocess.run(['sox', 'keys.wav', '-t', 'f32', '-e', 'floating-point', '-'], capture_output=True).stdout
left = struct.unpack('<%df' % (len(raw) // 4), raw)[0::2]
loud = next(i for i, v in enumerate(left) if abs(v) > 0.01)
print("play key at 48300: sound from sample", loud, "value %.4f" % left[loud])
# The cue crossfades over 1,024 samples, the new sound's share growing by
# 1/1,024 a sample from the cue's own sample on. Under the export's dither
# that is seen by fitting lines: the sawtooth before the cue, and the
# departure from it during the fade, which starts one share in.
def fit(xs, ys):
    n = len(xs); mx = sum(xs) / n; my = sum(ys) / n
    b = sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sum((x - mx) ** 2 for x in xs)
    return my - b * mx, b
a, b = fit(range(loud + 100, 120600), left[loud + 100:120600])
span = range(120800, 121600)
c, d = fit(span, [left[n] - (a + b * n) for n in span])
print("cue key at 120700: the crossfade starts at sample %.1f" % (-c / d + 1))
PY

sox -n -r 48000 -c 2 -b 16 tone.wav synth 10 sine 1000 vol 0.5
session tone.wav
export_until_whole vol PLAY=1 VOL_RAMP="1,0.5,2,100"
sox vol.wav above.wav remix 1 sinc 5k
for part in "0.2 0.6 before" "1.2 1.6 during" "3.2 0.6 after"; do
  set -- $part
  echo "$3 the lane: tone $(sox vol.wav -n remix 1 trim $1 $2 stats 2>&1 | awk '/RMS lev dB/ {print $4}') dB," \
       "above 5 kHz $(sox above.wav -n trim $1 $2 stats 2>&1 | awk '/RMS lev dB/ {print $4}') dB"
done
