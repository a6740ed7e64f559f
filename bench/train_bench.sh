#!/usr/bin/env bash
# Training against its floor: for shingle mode (-l L -v) and language-model
# mode (-o 1 -v), the tool's time as a multiple of the time to read, normalise
# and MD5-hash every shingle once (build/bench/hash_baseline_bench), and its
# peak memory per saved record (/usr/bin/time -v; records are the bytes of
# the four saved files over 16). All in one run, so the ratios hold on a
# busy machine.
#
# Usage: bench/train_bench.sh CORPUS_DIR [TESSEL_DIR...]
# CORPUS_DIR holds protected/ and unprotected/ (bench/make_corpus.py makes
# one); each TESSEL_DIR holds a tessel and its libtessel.so (default build/).
# Environment: L (shingle length, default 5), MODES (default "shingle lm").
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
corpus=$(realpath "$1")
shift
dirs=("$@")
[ ${#dirs[@]} -gt 0 ] || dirs=("$root/build")
length=${L:-5}
baseline="$root/build/bench/hash_baseline_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
patterns=("$corpus/protected/*.txt" "$corpus/unprotected/*.txt")

seconds() { awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$1" |
  awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }'; }
cpu() { awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$1"; }
peak_kb() { awk -F': ' '/Maximum resident set size/ {print $2}' "$1"; }

floor_of() {  # lengths: prints the baseline's wall and processor seconds
  /usr/bin/time -v -o "$work/floor.time" "$baseline" "$1" "${patterns[@]}" >/dev/null
  echo "$(seconds "$work/floor.time") $(cpu "$work/floor.time")"
}

train() {  # label tessel_dir floor_wall floor_cpu args...
  local label=$1 dir=$2 floor=$3 floor_cpu=$4
  shift 4
  rm -rf "$work/model" && mkdir "$work/model"
  (cd "$work/model" && LD_LIBRARY_PATH="$dir" /usr/bin/time -v -o "$work/train.time" \
    "$dir/tessel" -p "${patterns[0]}" -u "${patterns[1]}" -v "$@" >/dev/null 2>&1)
  local bytes records
  bytes=$(cat "$work"/model/p.bin "$work"/model/p.bin.2 "$work"/model/u.bin "$work"/model/u.bin.2 | wc -c)
  records=$((bytes / 16))
  awk -v label="$label" -v s="$(seconds "$work/train.time")" -v f="$floor" \
    -v c="$(cpu "$work/train.time")" -v fc="$floor_cpu" \
    -v kb="$(peak_kb "$work/train.time")" -v r="$records" 'BEGIN {
      printf "%-32s %7.2f s %4.2fx floor (processor %4.2fx)  peak %6.0f MB  %9d records  %5.1f bytes/record\n",
        label, s, s / f, c / fc, kb / 1024, r, kb * 1024 / r }'
}

echo "corpus: $(cat "$corpus"/protected/*.txt "$corpus"/unprotected/*.txt | wc -c) bytes"
for mode in ${MODES:-shingle lm}; do
  if [ "$mode" = shingle ]; then lengths=$length args=(-l "$length"); else lengths=1,2 args=(-o 1); fi
  read -r floor floor_cpu < <(floor_of "$lengths")
  echo "$mode floor (read, normalise, hash $lengths): $floor s, processor $floor_cpu s"
  for dir in "${dirs[@]}"; do
    train "$mode ${args[*]} -v ($(basename "$dir"))" "$(realpath "$dir")" "$floor" "$floor_cpu" \
      "${args[@]}"
  done
done
