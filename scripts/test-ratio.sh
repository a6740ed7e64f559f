#!/usr/bin/env bash
# Prints the non-blank lines of test code, of code, and their ratio. Both count
# C and C++ (.c .cpp .h), Python (.py), shell (.sh, .bash, .sbatch) and CMake
# (.cmake, .cmake.in, CMakeLists.txt) files tracked by git. Test code is
# everything under tests/ and bindings/python/tests/; code is the rest outside
# docs/, examples/ and bench/. Expected outputs and test data are not code. A
# second line counts the Python package's own test scripts
# (bindings/python/test_*.py, *_test.sh) as test code too.
#
#   scripts/test-ratio.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
count() { xargs -r -d '\n' cat -- | grep -c '[^[:space:]]' || true; }
ratio() {  # TEST_PATTERN
  local files tests code
  files=$(git ls-files | grep -E '(\.(c|cpp|h|py|sh|bash|sbatch|cmake|cmake\.in)|(^|/)CMakeLists\.txt)$' |
    grep -vE '^(docs|examples|bench)/')
  tests=$(grep -E "$1" <<<"$files" | count)
  code=$(grep -vE "$1" <<<"$files" | count)
  awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d, code %d, ratio %.3f", t, c, t / c }'
}
echo "$(ratio '^(tests|bindings/python/tests)/')"
echo "$(ratio '^(tests|bindings/python/tests)/|^bindings/python/(test_[^/]*\.py|[^/]*_test\.sh)$') (the Python package's test scripts as tests)"
