#!/usr/bin/env bash
# Training on two threads against one: for each mode (shingle -v, language
# model -o 1 -v, --robust -v), PAIRS alternating runs of -j 1 and -j 2, each
# into a fresh directory, then the median wall times, the median of the pair
# ratios, and whether both saved the same files byte for byte.
#
# Usage: bench/train_threads.sh CORPUS_DIR [TESSEL_DIR]
# CORPUS_DIR holds protected/ and unprotected/ (bench/make_corpus.py makes
# one); TESSEL_DIR holds a tessel and its libtessel.so (default build/).
# Environment: PAIRS (default 5), MODES (default "shingle lm robust").
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=$(realpath "$1")
dir=$(realpath "${2:-build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

train() {  # jobs args...: trains into $work/j<jobs>, prints the wall seconds
  local jobs=$1 start end
  shift
  rm -rf "$work/j$jobs" && mkdir "$work/j$jobs"
  start=$(date +%s.%N)
  (cd "$work/j$jobs" && LD_LIBRARY_PATH="$dir" "$dir/tessel" -j "$jobs" \
    -p "$corpus/protected/*.txt" -u "$corpus/unprotected/*.txt" -v "$@" >/dev/null 2>&1)
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for mode in ${MODES:-shingle lm robust}; do
  case $mode in shingle) args=() ;; lm) args=(-o 1) ;; robust) args=(--robust) ;; esac
  : >"$work/one" && : >"$work/two" && : >"$work/ratios"
  for _ in $(seq "${PAIRS:-5}"); do
    one=$(train 1 "${args[@]}") && two=$(train 2 "${args[@]}")
    echo "$one" >>"$work/one" && echo "$two" >>"$work/two"
    echo "$one / $two" | bc -l >>"$work/ratios"
  done
  same=same && diff -r "$work/j1" "$work/j2" >/dev/null || same=DIFFERENT
  printf '%-8s -j 1 %6.2f s  -j 2 %6.2f s  speedup %4.2fx (pairs %4.2f-%4.2f)  saved files %s\n' \
    "$mode" "$(median <"$work/one")" "$(median <"$work/two")" "$(median <"$work/ratios")" \
    "$(sort -g "$work/ratios" | head -1)" "$(sort -g "$work/ratios" | tail -1)" "$same"
done
