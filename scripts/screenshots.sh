#!/usr/bin/env bash
# Pictures of both editors while the demo set plays, for the README:
# docs/full-editor.png and docs/compact-page-0.png .. compact-page-3.png at
# scale 1, both builds at 2 (docs/full-editor-2x.png, compact-page-0-2x.png)
# and the full editor at 3 (docs/full-editor-3x.png), each painted at its
# scale;
# with the Windows build made (scripts/windows-test.sh build), also
# docs/windows-editor.png, the full editor in a Windows host under Wine.
# Needs a build (scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build/demo docs
# The pictures' tracks are analysed into a store of their own, not the user's.
export XDG_DATA_HOME=$PWD/build/demo/data
build/tunedeck-demo-tracks build/demo > /dev/null
play=(--seconds 7 --set Pitch=0.55@0 --set "Eq bass=0.7@0" --set "Cut Tweet=1@0" --set Loop=0.45@5
      --out build/demo/screenshot.wav build/demo/demo.m3u)
build/tunedeck-render --build full --select 1 --screenshot docs/full-editor.png "${play[@]}"
for scale in 2 3; do
  build/tunedeck-render --build full --select 1 --scale $scale --screenshot "docs/full-editor-${scale}x.png" "${play[@]}"
done
build/tunedeck-render --build compact --select 1 --scale 2 --screenshot docs/compact-page-0-2x.png "${play[@]}"
for page in 0 1 2 3; do
  build/tunedeck-render --build compact --page "$page" --select 1 --screenshot "docs/compact-page-$page.png" "${play[@]}"
done

if [ -x build-win64/tests/tunedeck-editor-host.exe ]; then
  export WINEPREFIX=${TUNEDECK_WINEPREFIX:-$PWD/build-windows/wine} WINELOADER=/usr/lib/wine/wine64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  work=$(mktemp -d)
  xvfb-run -a -s "-screen 0 640x480x24" tests/tools/windows-editor-check.sh "$work" build/demo/demo-124bpm.wav \
    build-win64 docs/windows-editor.png
  rm -rf "$work"
fi
