#!/usr/bin/env bash
# All cores against one: judging 3,000 documents of 1-100 KB with -j 1 and
# -j N in shingle mode, in language-model mode (header files present) and in
# language-model mode creating every header file, then training on 134 MB
# with -j 1 and -j N in both modes; with a second build (BASE_TESSEL_DIR),
# that build's one-thread run beside them. Each figure is the median wall
# time of RUNS runs (default 5; 3 for training), the commands taking turns.
#
# Usage: bench/scaling_bench.sh [TESSEL_DIR [BASE_TESSEL_DIR [WORK_DIR]]]
# Environment: JOBS (N, default: the number of processors), RUNS.
# The judging corpus is sim_text_bench.sh's; the training corpus is
# make_corpus.py 134.
#
# Each workload's serial fraction is then estimated from its speedup S on N
# threads (the Karp-Flatt metric, e = (1/S - 1/N) / (1 - 1/N)): the part of
# the run that more threads did not shorten, whatever it was spent on. The
# expected speedup on n cores is 1 / (e + (1 - e) / n), printed for 16 and
# 64. (Every thread of a run judges or hashes, the calling one too, so the
# main thread's processor time no longer marks the serial part.)
set -euo pipefail
source "$(dirname "$0")/bench_lib.sh"
dir=$(realpath "${1:-$bench_root/build}") base=${2:-} work=${3:-/tmp/tessel-scaling-bench}
[ -n "$base" ] && base=$(realpath "$base")
jobs=${JOBS:-$(nproc)} runs=${RUNS:-5}
make_judging_corpus "$work/judge"
train_model "$dir" "$work/judge/shingle" "$work/judge"
train_model "$dir" "$work/judge/lm" "$work/judge" -o 1
[ -d "$work/train/protected" ] || python3 "$bench_root/bench/make_corpus.py" "$work/train" 134

run() {  # tessel_dir [-j N] options...: judges the documents
  local tessel=$1
  shift
  LD_LIBRARY_PATH="$tessel" "$tessel/tessel" "$@" -d "$work/judge/docs/*.txt"
}
fresh() { rm -f "$work"/judge/docs/*.hdr; run "$@"; }
train() {  # tessel_dir model_dir options...
  local tessel=$1 model=$2
  shift 2
  mkdir -p "$model"
  (cd "$model" && LD_LIBRARY_PATH="$tessel" "$tessel/tessel" -p "$work/train/protected/*.txt" \
    -u "$work/train/unprotected/*.txt" -v "$@")
}
cd "$work"  # language-model runs write their title file here
shingle="-f -p $work/judge/shingle/p.bin -u $work/judge/shingle/u.bin"
lm="-f -p $work/judge/lm/p.bin -u $work/judge/lm/u.bin -o 1"
echo "== load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
# Prints the medians, then the serial fraction of the first two commands.
timed() {  # label runs command...
  local label=$1 runs=$2 out
  shift 2
  out=$(median_times "$runs" "$@")
  echo "$out"
  echo "$out" |
    awk -v label="$label" -v n="$jobs" 'NR <= 2 { median[NR] = $(NF - 10) }
      END { s = median[1] / median[2]; e = (1 / s - 1 / n) / (1 - 1 / n)
        printf "%-28s -j %d: %.2fx; serial fraction %.2f; expected on 16 / 64 cores: %.1fx %.1fx\n",
          label, n, s, e, 1 / (e + (1 - e) / 16), 1 / (e + (1 - e) / 64) }' >>"$work/fractions"
}
: >"$work/fractions"
labels=("judging, shingle mode" "judging, language model" "the same, creating headers")
i=0
for what in "run:$shingle" "run:$lm" "fresh:$lm"; do
  command=${what%%:*} options=${what#*:}
  commands=("$command $dir -j 1 $options" "$command $dir -j $jobs $options")
  [ -n "$base" ] && commands+=("$command $base $options")
  echo "== judging: $command $options"
  timed "${labels[i]}" "$runs" "${commands[@]}"
  i=$((i + 1))
done
for mode in "" "-o 1"; do
  commands=("train $dir $work/m1 -j 1 $mode" "train $dir $work/mj -j $jobs $mode")
  [ -n "$base" ] && commands+=("train $base $work/mb $mode")
  echo "== training on 134 MB ${mode:-shingle mode}"
  timed "training ${mode:-shingle mode}" "${RUNS:-3}" "${commands[@]}"
done
echo "== serial fractions from the speedups (Karp-Flatt)"
cat "$work/fractions"
echo "== load: $(cut -d' ' -f1-3 /proc/loadavg)"
