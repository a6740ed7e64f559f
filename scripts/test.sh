#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: once as a release build and
# once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

# Run as root, the tests of read-only files and directories are skipped (root
# may write anyway); where an unprivileged user can reach the build, run those
# test programs once more as that user.
if [ "$(id -u)" -eq 0 ] && command -v runuser >/dev/null && id nobody >/dev/null 2>&1; then
  if runuser -u nobody -- test -x build/tests/tool_tests; then
    for program in core_tests tool_tests e2e_tests; do
      runuser -u nobody -- "build/tests/$program" --gtest_brief=1
    done
  else
    echo "note: user nobody cannot reach $(pwd)/build; permission tests stay skipped"
  fi
fi

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_SANITIZE=ON
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

if [ -x scripts/extra-checks.sh ]; then scripts/extra-checks.sh; fi
echo "All tests passed."
