#!/usr/bin/env bash
# Runs the end-to-end workloads with two builds of tessel in one session, on
# the same corpus, and prints their times and peak memory side by side.
#
# Usage: bench/compare.sh BEFORE_TESSEL AFTER_TESSEL [WORK_DIR]
# The corpus is the one bench/e2e_shingle.sh generates (made when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
before="$1" after="$2" work="${3:-/tmp/tessel-bench}"
[ -d "$work/protected" ] || bench/e2e_shingle.sh "$work" >/dev/null

measure() {  # label tessel args...: prints "seconds peak_MB"
  local label="$1" tessel="$2"
  shift 2
  local dir="$work/compare-$label"
  rm -rf "$dir" && mkdir -p "$dir" && cd "$dir"
  cp -p "$work"/model-$label/* . 2>/dev/null || true
  /usr/bin/time -f "%e %M" -o "$dir/time" "$tessel" "$@" >/dev/null 2>&1
  awk '{ printf "%7.2f s %6.0f MB", $1, $2 / 1024 }' "$dir/time"
  cd - >/dev/null
}

train_and_keep() {  # label tessel mode-args...
  local label="$1" tessel="$2"
  shift 2
  mkdir -p "$work/model-$label" && cd "$work/model-$label"
  "$tessel" -p "$work/protected/*.txt" -u "$work/unprotected/*.txt" -v "$@" >/dev/null 2>&1
  cd - >/dev/null
}

row() {  # title args...
  local title="$1"
  shift
  printf "%-34s before %s   after %s\n" "$title" "$(measure before "$before" "$@")" \
    "$(measure after "$after" "$@")"
}

train_and_keep before "$before"
train_and_keep after "$after"
row "shingle training (-v)" -p "$work/protected/*.txt" -u "$work/unprotected/*.txt" -v
row "shingle judging (-f, 1000 docs)" -f -p p.bin -u u.bin -d "$work/docs/*.txt"
train_and_keep before "$before" -o 1
train_and_keep after "$after" -o 1
row "lm training (-v -o 1)" -p "$work/protected/*.txt" -u "$work/unprotected/*.txt" -v -o 1
row "lm judging (-f -o 1, 1000 docs)" -f -p p.bin -u u.bin -d "$work/docs/*.txt" -o 1
