#!/usr/bin/env bash
# The whole test suite: the normal build's tests, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz target for a
# bounded time over its seed corpus.
#   FUZZ_SECONDS (default 20) sets the time per fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/setup.sh

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

echo "== tests"
run_ctest ctest --test-dir build --output-on-failure -j "$jobs"

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTUNEDECK_WERROR=ON -DTUNEDECK_SANITIZE=ON \
      -DTUNEDECK_BENCH=OFF
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/lsan-suppressions.txt" \
  run_ctest ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz targets"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
      -DCMAKE_CXX_COMPILER=clang++ -DTUNEDECK_FUZZ=ON -DTUNEDECK_TESTS=ON -DTUNEDECK_BENCH=OFF
cmake --build build-fuzz --target fuzz_wav fuzz_track_list fuzz_mpeg fuzz_flac fuzz_store_file fuzz_deck_state
seconds=${FUZZ_SECONDS:-20}
for target in wav track_list mpeg flac store_file deck_state; do
  work=$(mktemp -d)
  cp tests/fuzz/corpus/$target/* "$work"/
  if ! ASAN_OPTIONS=detect_leaks=0 build-fuzz/tests/fuzz_$target -max_total_time="$seconds" -max_len=65536 \
       -artifact_prefix="$work/" "$work" > "$work.log" 2>&1; then
    cat "$work.log"
    echo "fuzz target $target found a failure"
    exit 1
  fi
  grep -E 'DONE|Done' "$work.log" | tail -n 2
  rm -rf "$work" "$work.log"
  passed=$((passed + 1))
done
echo "tests: $passed passed, 0 failed"
