#!/bin/bash
# The deck's session round trip in Ardour's headless Lua host (Debian's
# ardour package): a 48 kHz session with the deck on a MIDI track, a state
# with a 440 Hz track, Vol 0.4, Pitch +16 % and Play set, saved; then a new
# Ardour process reloads it and exports 4 s, which must hold the tone at
# 510.4 Hz. Not part of the test suite: it needs Ardour and a few minutes.
#   tools/ardour/round-trip.sh [build-dir]
set -euo pipefail
build=$(realpath "${1:-build}")
here=$(cd "$(dirname "$0")" && pwd)
work=$build/ardour-work
rm -rf "$work" && mkdir -p "$work"
# The deck's track store goes with the work, not into the user's own.
export XDG_DATA_HOME=$work/data
cp "$build/vst/tunedeck.so" "$work/"
# Ardour keeps the scan's time in whole seconds and takes a library newer
# than its scan for one that changed since.
touch -d "@$(($(date +%s) - 60))" "$work/tunedeck.so"
cd "$work"
sox -n -r 44100 -c 2 -b 16 tone.wav synth 10 sine 440 vol 0.5
"$build/tunedeck-render" --state-out state.bin --seconds 0.2 --paused --out /dev/null "$work/tone.wav"
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f "$work/tunedeck.so"
LXVST_PATH="$work" ardour7-lua "$here/create.lua"
python3 "$here/inject.py" sess/deck.ardour state.bin
LXVST_PATH="$work" SETS="10=0.4,3=0.75,0=1" SAVE=1 ardour7-lua "$here/load.lua"
# A reopened session's deck waits, stopped: Play is pressed for the export.
LXVST_PATH="$work" SETS="0=1" EXPORT_SECONDS=4 EXPORT_NAME=reloaded ardour7-lua "$here/load.lua"
python3 "$here/measure.py" reloaded.wav   # 510.40 Hz (440 Hz at +16 %), peak -36 dBFS
