#!/usr/bin/env bash
# Checks beyond the two test suites, run by scripts/test.sh after them: the
# command-line cases under valgrind, the thread test of the tessel_ interface
# under ThreadSanitizer, and every fuzz target for a short, fixed time
# (FUZZ_SECONDS, default 10 s each; scripts/fuzz.sh runs them longer).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/valgrind.sh build
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_TSAN=ON
cmake --build build-tsan -j "$(nproc)"
TESSEL_CLI_WRAPPER="$PWD/scripts/with-jobs.sh 4" TSAN_OPTIONS=halt_on_error=1 \
  ctest --test-dir build-tsan --output-on-failure -j "$(nproc)"
scripts/fuzz.sh "${FUZZ_SECONDS:-10}"
