#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, runs each for a fixed time and fails on any
# finding (crash, sanitizer report, leak, failed check, input over 10 s).
#
#   scripts/fuzz.sh [SECONDS [TARGET...]]     default 20 s per target, all targets
#   FUZZ_SECONDS=600 scripts/fuzz.sh          the same, for longer runs
#
# Inputs that found new coverage accumulate in build-fuzz/corpus/TARGET (the
# seeds in tests/fuzz/corpus/TARGET are only read); a finding is written to
# build-fuzz/findings/ and can be replayed with build-fuzz/tests/fuzz/fuzz_TARGET FILE.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-${FUZZ_SECONDS:-20}}
shift $(( $# > 0 ? 1 : 0 ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(set_file builder options header_file protected_sum process_shingles md5_lanes count_index judge text_reading count_lookup sources chain_units)
build=$root/build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DTESSEL_FUZZ=ON -DTESSEL_BUILD_TESTS=OFF \
  -DTESSEL_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only the fuzz targets: the C examples cannot link the C++ sanitizer runtime.
cmake --build "$build" -j 2 --target "${targets[@]/#/fuzz_}" >"$build/build.log" 2>&1 || { tail -30 "$build/build.log" >&2; exit 1; }

failed=0
mkdir -p "$build/findings"
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  log=$build/fuzz-$target.log
  mkdir -p "$corpus"
  status=0
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$target-" "$corpus" "$root/tests/fuzz/corpus/$target" \
    >"$log" 2>&1 || status=$?
  runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")
  if [ "$status" -ne 0 ]; then
    echo "fuzz $target: FINDING after ${runs:-?} executions (status $status); log $log" >&2
    grep -E 'ERROR|SUMMARY|Test unit written|#[0-9]+ 0x' "$log" | head -20 >&2 || true
    failed=1
  else
    echo "fuzz $target: ${runs:-?} executions in ${seconds} s, no findings"
  fi
done
exit $failed
