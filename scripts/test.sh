#!/usr/bin/env bash
# Sets up, builds and runs the test suite: every test once as a release build
# and once under AddressSanitizer and UndefinedBehaviorSanitizer, then
# scripts/extra-checks.sh (valgrind, ThreadSanitizer and the fuzzers over a
# representative part). About 20 minutes of processor time.
#
#   scripts/test.sh [--long]    --long: the extra checks over everything, longer
set -euo pipefail
cd "$(dirname "$0")/.."
long=()
case "${1:-}" in
  --long) long=(--long) ;;
  "") ;;
  *) echo "usage: scripts/test.sh [--long]" >&2; exit 2 ;;
esac
scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSEL_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

# Run as root, the cases of read-only files and directories are skipped (root
# may write anyway). Run them (CTest label nobody) once more as user nobody,
# from a copy of the programs, cases and data under /tmp: the checkout itself
# may lie in a directory nobody cannot enter (a home directory of mode 0700).
if [ "$(id -u)" -eq 0 ] && command -v runuser >/dev/null && id nobody >/dev/null 2>&1; then
  reach=$(mktemp -d /tmp/tessel-nobody.XXXXXX)
  trap 'rm -rf "$reach"' EXIT
  mkdir -p "$reach/bin" "$reach/tests" "$reach/examples"
  cp -a build/tessel build/tessel-sets build/libtessel.so* build/examples/tessel-host* "$reach/bin/"
  cp -a tests/cli tests/data "$reach/tests/" && cp -a examples/. "$reach/examples/"
  chmod -R a+rX "$reach"
  for case_name in $(ctest --test-dir build -N -L nobody | sed -n 's/^ *Test *#[0-9]*: cli\.//p'); do
    case_file="tests/cli/${case_name/.//}.sh"
    echo "as nobody: $case_file"
    runuser -u nobody -- env TMPDIR=/tmp LD_LIBRARY_PATH="$reach/bin" \
      bash "$reach/tests/cli/run_case.sh" "$reach/$case_file" "$reach/bin" "$reach/tests/data"
  done
fi

# -O1 and line tables only: the sanitizers' reports keep their lines, and the
# build takes a third less time than at -O2 -g.
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_SANITIZE=ON -DTESSEL_WERROR=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

scripts/extra-checks.sh "${long[@]}"
echo "All tests passed."
