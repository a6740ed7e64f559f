#!/usr/bin/env bash
# Runs command-line cases with every tessel, tessel-sets and host process
# under valgrind's memcheck; fails on any invalid access, use of an undefined
# value or definite leak in any of them. By default the cases labelled
# valgrind, which take every mode, formula, set-file tool, header update and
# failed save through the library (a valgrind process costs seconds);
# "-L cli" runs every case.
#
#   scripts/valgrind.sh [BUILD_DIR [CTEST_ARGS...]]   default: build, -L valgrind
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift $(( $# > 0 ? 1 : 0 ))
selection=(-L valgrind)
[ $# -gt 0 ] && selection=("$@")
logs=$(cd "$build" && pwd)/valgrind
rm -rf "$logs"
mkdir -p "$logs"
export TESSEL_CLI_WRAPPER="valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite --log-file=$logs/%p.log"
status=0
ctest --test-dir "$build" -j "$(nproc)" --output-on-failure "${selection[@]}" >"$logs/ctest.out" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  echo "valgrind: cases failed under memcheck (status $status)" >&2
  grep -E "Failed|Not Run|\*\*\*" "$logs/ctest.out" | head -20 >&2
fi
bad=$(grep -l -E "ERROR SUMMARY: [1-9]|Process terminating" "$logs"/*.log || true)
if [ -n "$bad" ]; then
  echo "valgrind: errors reported in:" >&2
  for log in $bad; do
    echo "== $log" >&2
    grep -E "Command:|Invalid|uninitialised|definitely lost|ERROR SUMMARY" "$log" | head -10 >&2
  done
  status=1
fi
[ "$status" -eq 0 ] && echo "valgrind: $(grep -l "ERROR SUMMARY" "$logs"/*.log | wc -l) processes checked, no errors"
exit $status
