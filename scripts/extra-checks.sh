#!/usr/bin/env bash
# Checks beyond the two test suites, run by scripts/test.sh after them: the
# command-line cases under valgrind, and every fuzz target for a short, fixed
# time (FUZZ_SECONDS, default 20 s each; scripts/fuzz.sh runs them longer).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/valgrind.sh build
scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
