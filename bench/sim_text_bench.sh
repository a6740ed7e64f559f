#!/usr/bin/env bash
# tessel against Debian's similarity-tester on the same documents and the
# same protected set: sim_text -s -p -t 1 -r 20 docs/* / protected/* (on
# UTF-8 copies, which it needs for Cyrillic words), then tessel in shingle
# mode with a saved model on one and on two threads. Each figure is the
# median wall time of RUNS runs (default 5), the three commands taking turns;
# with each, how many documents it finds: sim_text a document it reports as
# consisting in part of a protected file, tessel a document at or above its
# threshold.
#
# Usage: bench/sim_text_bench.sh [TESSEL_DIR [WORK_DIR]]
# TESSEL_DIR holds tessel and its libtessel.so (default build/). The corpus
# (make_corpus.py 200, then make_documents.py: 30 MB of protected and 30 MB
# of unprotected learning text, 3,000 documents of 1-100 KB cut from held-out
# text, one in seven with a protected passage) is generated when missing.
# Installs similarity-tester with apt-get when sim_text is missing; this
# script is a benchmark, not a test, and CI does not run it.
set -euo pipefail
source "$(dirname "$0")/bench_lib.sh"
tessel_dir=$(realpath "${1:-$bench_root/build}") work=${2:-/tmp/tessel-sim-bench}
runs=${RUNS:-5}

if ! command -v sim_text >/dev/null; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y similarity-tester
fi
make_judging_corpus "$work"
if [ ! -f "$work/utf8/done" ]; then
  rm -rf "$work/utf8" && mkdir -p "$work/utf8/docs" "$work/utf8/protected"
  for f in "$work"/docs/*.txt; do iconv -f CP1251 -t UTF-8 "$f" >"$work/utf8/docs/${f##*/}"; done
  for f in "$work"/learn/protected/*.txt; do
    iconv -f CP1251 -t UTF-8 "$f" >"$work/utf8/protected/${f##*/}"
  done
  touch "$work/utf8/done"
fi
train_model "$tessel_dir" "$work/shingle" "$work"

sim() { (cd "$work/utf8" && sim_text -s -p -t 1 -r 20 docs/* / protected/*); }
judge() {  # jobs
  LD_LIBRARY_PATH="$tessel_dir" "$tessel_dir/tessel" -j "$1" -f -p "$work/shingle/p.bin" \
    -u "$work/shingle/u.bin" -d "$work/docs/*.txt"
}
echo "sim_text finds $(sim | grep -c ' of protected/' || true) pairs in" \
  "$(sim | awk '/ of protected\// {print $1}' | sort -u | wc -l) documents;" \
  "tessel finds $(judge 1 | awk -F'\t' '$5 ~ />=/' | wc -l) documents"
median_times "$runs" sim "judge 1" "judge 2"
