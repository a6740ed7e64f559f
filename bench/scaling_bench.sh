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
# On a shared machine wall times say little about threads (a session's
# processes share one slice of the processors, however many threads they
# run), so each workload is also run once more under bench/thread_times.py:
# the main thread's processor time over the whole is taken as the serial
# fraction f of Amdahl's law, and the expected speedup on n cores is
# 1 / (f + (1 - f) / n), printed for 2, 16 and 64.
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
for what in "run:$shingle" "run:$lm" "fresh:$lm"; do
  command=${what%%:*} options=${what#*:}
  commands=("$command $dir -j 1 $options" "$command $dir -j $jobs $options")
  [ -n "$base" ] && commands+=("$command $base $options")
  echo "== judging: $command $options"
  median_times "$runs" "${commands[@]}"
done
for mode in "" "-o 1"; do
  commands=("train $dir $work/m1 -j 1 $mode" "train $dir $work/mj -j $jobs $mode")
  [ -n "$base" ] && commands+=("train $base $work/mb $mode")
  echo "== training on 134 MB ${mode:-shingle mode}"
  median_times "${RUNS:-3}" "${commands[@]}"
done
echo "== serial fractions (bench/thread_times.py, -j $jobs)"
amdahl() {  # label command...
  local label=$1
  shift
  LD_LIBRARY_PATH="$dir" python3 "$bench_root/bench/thread_times.py" "$@" |
    awk -v label="$label" '{ f = $2 / ($2 + $4)
      printf "%-28s main %.2f s, others %.2f s: f = %.2f; expected on 2 / 16 / 64 cores: %.2fx %.2fx %.2fx\n",
        label, $2, $4, f, 1 / (f + (1 - f) / 2), 1 / (f + (1 - f) / 16), 1 / (f + (1 - f) / 64) }'
}
docs=(-d "$work/judge/docs/*.txt")
amdahl "judging, shingle mode" "$dir/tessel" -j "$jobs" $shingle "${docs[@]}"
amdahl "judging, language model" "$dir/tessel" -j "$jobs" $lm "${docs[@]}"
rm -f "$work"/judge/docs/*.hdr
amdahl "the same, creating headers" "$dir/tessel" -j "$jobs" $lm "${docs[@]}"
learn=(-p "$work/train/protected/*.txt" -u "$work/train/unprotected/*.txt" -v)
cd "$work/mj"
amdahl "training, shingle mode" "$dir/tessel" -j "$jobs" "${learn[@]}"
amdahl "training, language model" "$dir/tessel" -j "$jobs" "${learn[@]}" -o 1
echo "== load: $(cut -d' ' -f1-3 /proc/loadavg)"
