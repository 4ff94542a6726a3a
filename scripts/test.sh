#!/usr/bin/env bash
# The whole test suite: the normal build's tests, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, each fuzz target for a
# bounded time over its seed corpus, and the Windows builds' tests under wine.
#   FUZZ_SECONDS (default 20) sets the time per fuzz target.
#   TUNEDECK_WINDOWS=0 leaves the Windows builds out.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/setup.sh

# Everything the run writes for a while (logs, test folders, fuzzers' files,
# xvfb-run's) goes into a folder of its own, removed when the run ends.
run_tmp=$(mktemp -d)
# Tests that drop to an unprivileged user make their folders in here too.
chmod 755 "$run_tmp"
export TMPDIR=$run_tmp
# Decks made by the tests, the fuzzers and wine keep their track store there too.
export XDG_DATA_HOME=$run_tmp/data-home

# The Windows builds need only the native build's skin: they are made on the
# side while the tests below run (much of which is waiting), and tested last.
windows=${TUNEDECK_WINDOWS:-1}
# Nothing started in the background outlives the run.
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$run_tmp"' EXIT
if [ "$windows" = 1 ]; then
  windows_log=$(mktemp)
  scripts/windows-test.sh build > "$windows_log" 2>&1 &
  windows_build=$!
fi

passed=0
# Runs one build's tests and adds its count to the total.
run_ctest() {
  local log
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  local count
  count=$(grep -Eo 'tests passed, 0 tests failed out of [0-9]+' "$log" | grep -Eo '[0-9]+$' || echo 0)
  rm -f "$log"
  [ "$status" -eq 0 ] || exit "$status"
  passed=$((passed + count))
}

echo "== tests (at ${SECONDS} s)"
run_ctest ctest --test-dir build --output-on-failure -j "$jobs"

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer (at ${SECONDS} s)"
# Built with Debian's clang, so that the code and its tests build with both
# of the system's compilers (the normal build is GCC's).
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTUNEDECK_WERROR=ON -DTUNEDECK_SANITIZE=ON \
      -DTUNEDECK_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build-asan
# The fuzz targets are built meanwhile, on the side, at a lower priority: they
# take the cores the tests leave idle while they wait.
fuzz_build_log=$(mktemp)
(cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
       -DCMAKE_CXX_COMPILER=clang++ -DTUNEDECK_FUZZ=ON -DTUNEDECK_TESTS=ON -DTUNEDECK_BENCH=OFF &&
 nice -n 10 cmake --build build-fuzz --target fuzz_wav fuzz_track_list fuzz_mpeg fuzz_flac fuzz_store_file \
   fuzz_deck_state fuzz_equaliser) > "$fuzz_build_log" 2>&1 &
fuzz_build=$!
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/lsan-suppressions.txt" \
  run_ctest ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz targets (built meanwhile; at ${SECONDS} s)"
status=0
wait "$fuzz_build" || status=$?
tail -n 3 "$fuzz_build_log"
[ "$status" -eq 0 ] || { cat "$fuzz_build_log"; exit "$status"; }
rm -f "$fuzz_build_log"
seconds=${FUZZ_SECONDS:-20}
# Each target for its time, one after the other; stops at the first failure.
run_fuzzers() {
  for target in "$@"; do
    local work
    work=$(mktemp -d)
    cp tests/fuzz/corpus/"$target"/* "$work"/ 2>/dev/null || true
    echo "-- fuzz_$target"
    if ! ASAN_OPTIONS=detect_leaks=0 build-fuzz/tests/fuzz_"$target" -max_total_time="$seconds" -max_len=65536 \
         -artifact_prefix="$work/" "$work" > "$work.log" 2>&1; then
      cat "$work.log"
      echo "fuzz target $target found a failure"
      return 1
    fi
    grep -E 'DONE|Done' "$work.log" | tail -n 2
    rm -rf "$work" "$work.log"
  done
}
# A fuzzer keeps one core busy for a fixed time: two lanes of them run beside
# the Windows tests, which mostly wait on wine.
fuzz_lanes=("wav mpeg store_file equaliser" "track_list flac deck_state")
fuzz_logs=()
fuzzing=()
for lane in "${fuzz_lanes[@]}"; do
  log=$(mktemp)
  # shellcheck disable=SC2086 # a lane is a list of target names
  run_fuzzers $lane > "$log" 2>&1 &
  fuzzing+=($!)
  fuzz_logs+=("$log")
done

if [ "$windows" = 1 ]; then
  echo "== Windows builds (made meanwhile; at ${SECONDS} s)"
  status=0
  wait "$windows_build" || status=$?
  cat "$windows_log"
  rm -f "$windows_log"
  [ "$status" -eq 0 ] || exit "$status"
  windows_out=$(mktemp)
  scripts/windows-test.sh test 2>&1 | tee "$windows_out"
  [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
  passed=$((passed + $(grep -Eo '^windows: [0-9]+ passed' "$windows_out" | grep -Eo '[0-9]+')))
  rm -f "$windows_out"
fi

echo "== fuzz targets (run meanwhile; at ${SECONDS} s)"
status=0
for i in "${!fuzzing[@]}"; do
  wait "${fuzzing[$i]}" || status=1
  cat "${fuzz_logs[$i]}"
  rm -f "${fuzz_logs[$i]}"
done
[ "$status" -eq 0 ] || exit 1
passed=$((passed + $(echo "${fuzz_lanes[*]}" | wc -w)))
echo "all done in ${SECONDS} s"
echo "tests: $passed passed, 0 failed"
