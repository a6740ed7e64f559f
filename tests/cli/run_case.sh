#!/usr/bin/env bash
# Runs one command-line case: CASE.sh runs with bash in a fresh empty
# directory, and its standard output, standard error and exit status are
# compared whole with CASE.sh.stdout, CASE.sh.stderr and CASE.sh.exit (a
# missing file means empty output, or status 0). Where paths vary,
# CASE.sh.stdout.glob (or .stderr.glob) replaces the plain file: each of its
# lines must match the output's line, a "*" in it standing for any text (the
# last line's line feed is not compared). A case that prints "skip: "
# and exits 77 is reported as skipped. Cases see $DATA (the test data), $SRC
# (the source tree) and $BIN (the first of PATH_DIRS). TESSEL_CLI_WRAPPER (e.g.
# "valgrind --log-file=...") is put in front of every built program they run;
# TESSEL_CLI_UPDATE=1 records the results as the expected ones.
# Usage: run_case.sh CASE.sh PATH_DIRS DATA_DIR
set -u
case_file=$(realpath "$1")
export DATA=$(realpath "$3") SRC=$(realpath "$(dirname "$0")/../..") BIN=${2%%:*} LC_ALL=C TZ=UTC
work=$(mktemp -d "${TMPDIR:-/tmp}/tessel-cli.XXXXXX")
trap 'chmod -R u+rwX "$work" 2>/dev/null; rm -rf "$work" "$work".*' EXIT
export PATH="$2:$PATH"
if [ -n "${TESSEL_CLI_WRAPPER:-}" ]; then
  # Shims that find the real program on the PATH, so that it sees its plain name as argv[0].
  mkdir "$work.bin"
  for program in $(IFS=:; for dir in $2; do ls "$dir"/tessel* 2>/dev/null; done); do
    [ -f "$program" ] && [ -x "$program" ] || continue
    printf '#!/bin/sh\nPATH=%q:$PATH exec %s %q "$@"\n' "$(dirname "$(realpath "$program")")" \
      "$TESSEL_CLI_WRAPPER" "${program##*/}" >"$work.bin/${program##*/}"
    chmod +x "$work.bin/${program##*/}"
  done
  PATH="$work.bin:$PATH"
fi
(cd "$work" && bash "$case_file") >"$work.stdout" 2>"$work.stderr" </dev/null
status=$?
[ "$status" -eq 77 ] && { cat "$work.stdout"; exit 77; }
if [ "${TESSEL_CLI_UPDATE:-0}" = 1 ]; then
  for stream in stdout stderr; do
    [ -f "$case_file.$stream.glob" ] && continue  # written by hand
    if [ -s "$work.$stream" ]; then cp "$work.$stream" "$case_file.$stream"; else rm -f "$case_file.$stream"; fi
  done
  if [ "$status" -ne 0 ]; then echo "$status" >"$case_file.exit"; else rm -f "$case_file.exit"; fi
fi
failed=0
compare() {  # expected-file actual-file what
  cmp -s <(cat "$1" 2>/dev/null) "$2" && return  # a missing file is empty output
  echo "--- $3 differs (expected ${1##*/}, < expected, > actual):"
  diff <(cat "$1" 2>/dev/null) "$2" | head -40
  failed=1
}
matches() {  # glob-file actual-file: line by line, "*" any text, the rest literal
  local expected actual line=0
  exec 3<"$1" 4<"$2"
  while IFS= read -r expected <&3 || [ -n "$expected" ]; do
    line=$((line + 1))
    IFS= read -r actual <&4 || [ -n "$actual" ] || { echo "line $line missing: $expected"; return 1; }
    expected=$(printf '%s' "$expected" | sed 's/[][?\\]/\\&/g')
    # shellcheck disable=SC2053  # the expected line is the pattern
    [[ $actual == $expected ]] || { echo "line $line: $actual"; return 1; }
  done
  if IFS= read -r actual <&4 || [ -n "$actual" ]; then echo "line $((line + 1)) not expected: $actual"; return 1; fi
  return 0
}
for stream in stdout stderr; do
  what="standard output" && [ $stream = stderr ] && what="standard error"
  if [ -f "$case_file.$stream.glob" ]; then
    report=$(matches "$case_file.$stream.glob" "$work.$stream") ||
      { echo "--- $what does not match ${case_file##*/}.$stream.glob: $report"; failed=1; }
  else
    compare "$case_file.$stream" "$work.$stream" "$what"
  fi
done
expected_status=$(cat "$case_file.exit" 2>/dev/null || echo 0)
[ "$status" -eq "$expected_status" ] || { echo "--- exit status $status, expected $expected_status"; failed=1; }
exit $failed
