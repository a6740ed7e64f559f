#!/usr/bin/env bash
# Runs the end-to-end tests under valgrind's memcheck, following every tessel
# and tessel-sets process they start; fails on any invalid access, use of an
# undefined value or definite leak in any of them.
#
#   scripts/valgrind.sh [BUILD_DIR [TEST_PROGRAM...]]   default: build, e2e_tests
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift $(( $# > 0 ? 1 : 0 ))
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=(e2e_tests)
logs=$(cd "$build" && pwd)/valgrind  # absolute: the tests run programs in other directories
rm -rf "$logs"
mkdir -p "$logs"
failed=0
for program in "${programs[@]}"; do
  status=0
  valgrind --tool=memcheck --trace-children=yes --trace-children-skip="/usr/*,/bin/*" --leak-check=full --errors-for-leak-kinds=definite \
    --error-exitcode=99 --log-file="$logs/$program.%p.log" \
    "$build/tests/$program" --gtest_brief=1 >"$logs/$program.out" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    echo "valgrind $program: tests failed under memcheck (status $status)" >&2
    tail -20 "$logs/$program.out" >&2
    failed=1
  fi
done
# A child whose errors did not change the tests' outcome still counts. (A log
# without a summary is that of a process that went on to run a system program,
# which is not followed.)
bad=$(grep -l -E "ERROR SUMMARY: [1-9]|Process terminating" "$logs"/*.log || true)
if [ -n "$bad" ]; then
  echo "valgrind: errors reported in:" >&2
  for log in $bad; do
    echo "== $log" >&2
    grep -E "Invalid|uninitialised|definitely lost|ERROR SUMMARY" "$log" | head -10 >&2
  done
  failed=1
fi
[ "$failed" -eq 0 ] &&
  echo "valgrind: $(grep -l "ERROR SUMMARY" "$logs"/*.log | wc -l) processes checked, no errors"
exit $failed
