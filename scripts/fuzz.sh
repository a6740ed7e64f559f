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

# -O1 and line tables only (-g1), as fuzzing builds usually are: the reports
# keep their lines, and the build takes less time than at -O2 -g.
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DTESSEL_FUZZ=ON -DTESSEL_BUILD_TESTS=OFF \
  -DTESSEL_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
# Only the fuzz targets: the C examples cannot link the C++ sanitizer runtime.
cmake --build "$build" -j 2 --target "${targets[@]/#/fuzz_}" >"$build/build.log" 2>&1 || { tail -30 "$build/build.log" >&2; exit 1; }

# Each target runs on one processor: as many at once as there are processors,
# their reports printed in the order of the targets.
mkdir -p "$build/findings"
fuzz() {  # TARGET: runs it, writes its report to $build/fuzz-TARGET.report
  local target=$1 corpus=$build/corpus/$1 log=$build/fuzz-$1.log status=0 runs
  mkdir -p "$corpus"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$target-" "$corpus" "$root/tests/fuzz/corpus/$target" \
    >"$log" 2>&1 || status=$?
  runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")
  if [ "$status" -ne 0 ]; then
    { echo "fuzz $target: FINDING after ${runs:-?} executions (status $status); log $log"
      grep -E 'ERROR|SUMMARY|Test unit written|#[0-9]+ 0x' "$log" | head -20 || true
    } >"$build/fuzz-$target.failed"
  else
    echo "fuzz $target: ${runs:-?} executions in ${seconds} s, no findings" >"$build/fuzz-$target.report"
  fi
}
rm -f "$build"/fuzz-*.report "$build"/fuzz-*.failed
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$(nproc)" ]; then wait -n || true; running=$((running - 1)); fi
  fuzz "$target" &
  running=$((running + 1))
done
wait
failed=0
for target in "${targets[@]}"; do
  if [ -f "$build/fuzz-$target.failed" ]; then cat "$build/fuzz-$target.failed" >&2; failed=1
  else cat "$build/fuzz-$target.report"; fi
done
exit $failed
