# Shared by the benchmark scripts: the judging corpus, a trained model, and
# medians of alternating runs.
bench_root=$(realpath "$(dirname "${BASH_SOURCE[0]}")/..")

# The corpus of sim_text_bench.sh and scaling_bench.sh, made when missing.
make_judging_corpus() {  # work_dir
  [ -f "$1/docs/02999.txt" ] && return
  rm -rf "$1" && mkdir -p "$1"
  python3 "$bench_root/bench/make_corpus.py" "$1" 200
  python3 "$bench_root/bench/make_documents.py" "$1" 3000 120
}

# A shingle-mode (or, with -o 1, language-model) model of the corpus's
# learning files in model_dir, trained when missing.
train_model() {  # tessel_dir model_dir work_dir [options...]
  local dir=$1 model=$2 work=$3
  shift 3
  [ -f "$model/u.bin.2" ] && return
  mkdir -p "$model"
  (cd "$model" && LD_LIBRARY_PATH="$dir" "$dir/tessel" -p "$work/learn/protected/*.txt" \
    -u "$work/learn/unprotected/*.txt" -v "$@" >/dev/null 2>&1)
}

# Runs each command (a shell word list, output discarded) once to warm the
# page cache, then `runs` times, taking turns, and prints each one's median
# wall time in seconds and its ratio to the first command's.
median_times() {  # runs command...
  local runs=$1 i c start end
  shift
  local times=()
  for c in "$@"; do eval "$c" >/dev/null 2>&1 || true; done
  for ((i = 0; i < runs; ++i)); do
    for c in "$@"; do
      start=$(date +%s.%N)
      eval "$c" >/dev/null 2>&1 || true
      end=$(date +%s.%N)
      times+=("$c	$(echo "$end - $start" | bc)")
    done
  done
  printf '%s\n' "${times[@]}" | awk -F'\t' -v order="$(printf '%s\n' "$@")" '
    { t[$1] = t[$1] " " $2 }
    END {
      n = split(order, names, "\n")
      for (i = 1; i <= n; i++) {
        m = split(substr(t[names[i]], 2), v, " ")
        # insertion sort: a handful of values
        for (a = 2; a <= m; a++) for (b = a; b > 1 && v[b - 1] + 0 > v[b] + 0; b--) { x = v[b]; v[b] = v[b - 1]; v[b - 1] = x }
        med = m % 2 ? v[(m + 1) / 2] : (v[m / 2] + v[m / 2 + 1]) / 2
        if (i == 1) first = med
        printf "%-60s median %7.3f s (min %.3f, max %.3f, %d runs)  %.2fx the first\n", names[i], med, v[1], v[m], m, first / med
      }
    }'
}
