#!/usr/bin/env bash
# Checks beyond the two test suites, run by scripts/test.sh after them: the
# command-line cases labelled valgrind under valgrind's memcheck; the thread
# test of the tessel_ interface and the cases labelled threads, with tessel
# -j 4, under ThreadSanitizer; and every fuzz target for a few seconds
# (FUZZ_SECONDS, default 3; scripts/fuzz.sh runs them longer).
#
#   scripts/extra-checks.sh [--long]   --long: every case under valgrind and
#                                      ThreadSanitizer, fuzz targets 60 s each
set -euo pipefail
cd "$(dirname "$0")/.."
valgrind_cases=(-L valgrind) tsan_cases=(-L 'threads|tsan') fuzz_seconds=${FUZZ_SECONDS:-3}
# Only what those cases run: the programs, the hosts and the thread test.
tsan_targets=(--target tessel_program tessel_sets_program tessel-host tessel-host-linked judge_threads_test)
if [ "${1:-}" = --long ]; then
  valgrind_cases=(-L cli) tsan_cases=() tsan_targets=() fuzz_seconds=${FUZZ_SECONDS:-60}
fi
scripts/valgrind.sh build "${valgrind_cases[@]}"
# -O1 and line tables only, as the sanitizer build of scripts/test.sh: the
# reports keep their lines, and the build takes a fifth less time.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_TSAN=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
cmake --build build-tsan -j "$(nproc)" "${tsan_targets[@]}"
TESSEL_CLI_WRAPPER="$PWD/scripts/with-jobs.sh 4" TSAN_OPTIONS=halt_on_error=1 \
  ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" "${tsan_cases[@]}"
scripts/fuzz.sh "$fuzz_seconds"
