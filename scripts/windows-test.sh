#!/usr/bin/env bash
# The Windows builds and their tests: both architectures cross-built with
# MinGW-w64, the 32-bit DLLs checked from their files (no 32-bit program can
# run here), the 64-bit tests run under wine64, and a render through the
# Windows tunedeck-render.exe compared with the Linux build's.
# Needs the native build (build/, for its painted skin, its render tool and
# its MPEG test data).
#   scripts/windows-test.sh [build|test]  only builds (and makes the wine
#   prefix), or only tests what was built; both when no phase is given.
#   scripts/test.sh builds while the native tests run, and tests at the end.
#   TUNEDECK_WINEPREFIX sets the wine prefix (default build-windows/wine).
#   TUNEDECK_WINDOWS_JOBS sets the build's parallel jobs (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${TUNEDECK_WINDOWS_JOBS:-2}
phase=${1:-all}

export WINEPREFIX=${TUNEDECK_WINEPREFIX:-$PWD/build-windows/wine}
export WINELOADER=/usr/lib/wine/wine64
export WINEDEBUG=-all
# No Mono or Gecko installer: nothing here uses .NET or HTML.
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64

build_phase() {
scripts/windows-setup.sh
start=$SECONDS
skin=$PWD/build/skin
configure() { # build folder, toolchain, tests on or off
  cmake -S . -B "$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/$2.cmake -DCMAKE_BUILD_TYPE=Release \
        -DTUNEDECK_WERROR=ON -DTUNEDECK_BENCH=OFF -DTUNEDECK_TESTS="$3" -DTUNEDECK_HOST_SKIN_DIR="$skin" >/dev/null
}
echo "== Windows builds"
configure build-win64 mingw-x86_64 ON
configure build-win32 mingw-i686 OFF
cmake --build build-win64 -j "$jobs"
# The 32-bit build is only looked at, never run: its DLLs are all it needs.
cmake --build build-win32 -j "$jobs" --target tunedeck tunedeck_compact tunedeck_clap_module tunedeck_vst3_module
echo "built in $((SECONDS - start)) s"
start=$SECONDS
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== making the wine prefix $WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1 || true
fi
/usr/lib/wine/wineserver -w || true
echo "wine prefix ready in $((SECONDS - start)) s"
}

test_phase() {
passed=0
echo "== 32-bit DLLs, checked from their files"
cmake -DOBJDUMP=i686-w64-mingw32-objdump -DDLLS="$PWD/build-win32/vst/tunedeck.dll;$PWD/build-win32/vst/tunedeck_compact.dll" \
      -P tests/abi/CheckWindowsDll.cmake
cmake -DOBJDUMP=i686-w64-mingw32-objdump -DDLLS="$PWD/build-win32/clap/tunedeck.clap" -DEXPORTS=clap_entry \
      -P tests/abi/CheckWindowsDll.cmake
cmake -DOBJDUMP=i686-w64-mingw32-objdump -DDLLS="$PWD/build-win32/vst3/tunedeck.vst3/Contents/x86-win/tunedeck.vst3" \
      -DEXPORTS="ExitDll|GetPluginFactory|InitDll" -P tests/abi/CheckWindowsDll.cmake
passed=$((passed + 3))

start=$SECONDS
echo "== 64-bit tests under wine64"
# A network share as wine maps one: \\tunedeck-nas\music is this folder.
nas=$(mktemp -d)
mkdir -p "$WINEPREFIX/dosdevices/unc/tunedeck-nas"
ln -sfn "$nas" "$WINEPREFIX/dosdevices/unc/tunedeck-nas/music"
log=$(mktemp)
status=0
# Under Xvfb: the DLLs open their editors in real windows. Its servers are
# numbered from 150, clear of the native tests' (from 99), which may run
# at the same time.
xvfb-run -a -n 150 -s "-screen 0 640x480x24" ctest --test-dir build-win64 --output-on-failure 2>&1 | tee "$log" || status=$?
count=$(grep -Eo 'tests passed, 0 tests failed out of [0-9]+' "$log" | grep -Eo '[0-9]+$' || echo 0)
rm -f "$log"
rm -rf "$nas" "$WINEPREFIX/dosdevices/unc/tunedeck-nas"
[ "$status" -eq 0 ] || exit "$status"
passed=$((passed + count))
echo "ran in $((SECONDS - start)) s"

echo "== the same render on Linux and on Windows"
start=$SECONDS
work=$(mktemp -d)
# The Linux render's track store stays in the work folder, not the user's.
export XDG_DATA_HOME=$work/data
data=build/tests/mpeg-data
for track in music44s.wav cbr128-44k-stereo.mp3; do
  cp "$data/$track" "$work/"
  (cd "$work" && "$OLDPWD/build/tunedeck-render" --seconds 3 --out "linux-$track.wav" "$track" >/dev/null)
  (cd "$work" && "$wine" "$OLDPWD/build-win64/tunedeck-render.exe" --seconds 3 --out "windows-$track.wav" "$track" >/dev/null)
  python3 tests/tools/compare-wav.py "$work/linux-$track.wav" "$work/windows-$track.wav" 1e-6
  passed=$((passed + 1))
done
echo "rendered and compared in $((SECONDS - start)) s"

echo "== the editor in a Windows host's window, under Xvfb: a screenshot and a click"
start=$SECONDS
check=$(mktemp -d)
xvfb-run -a -n 150 -s "-screen 0 640x480x24" tests/tools/windows-editor-check.sh "$check" "$data/music44s.wav" build-win64
passed=$((passed + 2))
echo "== the editor at 192 DPI in a DPI-aware Windows host"
xvfb-run -a -n 150 -s "-screen 0 800x800x24" tests/tools/windows-dpi-check.sh "$check" "$check/deck.state" build-win64
rm -rf "$check"
passed=$((passed + 1))
echo "checked in $((SECONDS - start)) s"
rm -rf "$work"

/usr/lib/wine/wineserver -k 2>/dev/null || true
echo "windows: $passed passed, 0 failed"
}

case $phase in
  build) build_phase ;;
  test) test_phase ;;
  all) build_phase; test_phase ;;
  *) echo "usage: scripts/windows-test.sh [build|test]" >&2; exit 2 ;;
esac
