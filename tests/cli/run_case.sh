#!/usr/bin/env bash
# Runs one command-line case: CASE.sh runs with bash in a fresh empty
# directory, and its standard output, standard error and exit status are
# compared whole with CASE.sh.stdout, CASE.sh.stderr and CASE.sh.exit (a
# missing file means empty output, or status 0). A case that prints "skip: "
# and exits 77 is reported as skipped. $DATA is the test data, $SRC the source
# tree. TESSEL_CLI_WRAPPER (e.g. "valgrind -q --log-file=...") is put in front
# of every built program the case runs.
# Usage: run_case.sh CASE.sh PATH_DIRS DATA_DIR
set -u
case_file=$(realpath "$1")
export DATA=$(realpath "$3") CASES=$(dirname "$case_file") BIN=${2%%:*}
export SRC=$(realpath "$(dirname "$0")/../..")
export LC_ALL=C TZ=UTC
work=$(mktemp -d "${TMPDIR:-/tmp}/tessel-cli.XXXXXX")
trap 'chmod -R u+rwX "$work" 2>/dev/null; rm -rf "$work" "$work.bin"' EXIT
if [ -n "${TESSEL_CLI_WRAPPER:-}" ]; then
  # Shims named like the programs, each running the real one under the wrapper.
  mkdir "$work.bin"
  IFS=: read -ra dirs <<<"$2"
  for dir in "${dirs[@]}"; do
    for program in "$dir"/tessel*; do
      [ -f "$program" ] && [ -x "$program" ] || continue
      # Found on the PATH, so that the program sees its own plain name as argv[0].
      printf '#!/bin/sh\nPATH=%q:$PATH exec %s %q "$@"\n' "$(realpath "$dir")" "$TESSEL_CLI_WRAPPER" \
        "${program##*/}" >"$work.bin/${program##*/}"
      chmod +x "$work.bin/${program##*/}"
    done
  done
  export PATH="$work.bin:$2:$PATH"
else
  export PATH="$2:$PATH"
fi
cd "$work" || exit 1
bash "$case_file" >"$work.stdout" 2>"$work.stderr" </dev/null
status=$?
trap 'chmod -R u+rwX "$work" 2>/dev/null; rm -rf "$work" "$work.bin" "$work.stdout" "$work.stderr"' EXIT
[ "$status" -eq 77 ] && { cat "$work.stdout"; exit 77; }

# TESSEL_CLI_UPDATE=1 records the actual results as the expected ones (for a
# new case; review the recorded files before committing them).
if [ "${TESSEL_CLI_UPDATE:-0}" = 1 ]; then
  for stream in stdout stderr; do
    if [ -s "$work.$stream" ]; then cp "$work.$stream" "$case_file.$stream"; else rm -f "$case_file.$stream"; fi
  done
  if [ "$status" -ne 0 ]; then echo "$status" >"$case_file.exit"; else rm -f "$case_file.exit"; fi
fi

failed=0
compare() {  # expected-file actual-file what
  local expected=$1 actual=$2
  if [ -f "$expected" ]; then
    cmp -s "$expected" "$actual" && return
  elif [ ! -s "$actual" ]; then
    return
  fi
  echo "--- $3 differs (expected ${expected##*/}, < expected, > actual):"
  diff <([ -f "$expected" ] && cat "$expected") "$actual" | head -40
  failed=1
}
compare "$case_file.stdout" "$work.stdout" "standard output"
compare "$case_file.stderr" "$work.stderr" "standard error"
expected_status=0
[ -f "$case_file.exit" ] && expected_status=$(cat "$case_file.exit")
if [ "$status" -ne "$expected_status" ]; then
  echo "--- exit status $status, expected $expected_status"
  failed=1
fi
exit $failed
