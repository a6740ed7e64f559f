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
peak_kb() { awk -F': ' '/Maximum resident set size/ {print $2}' "$1"; }

floor_of() {  # lengths: prints the baseline seconds
  /usr/bin/time -v -o "$work/floor.time" "$baseline" "$1" "${patterns[@]}" >/dev/null
  seconds "$work/floor.time"
}

train() {  # label tessel_dir floor_seconds args...
  local label=$1 dir=$2 floor=$3
  shift 3
  rm -rf "$work/model" && mkdir "$work/model"
  (cd "$work/model" && LD_LIBRARY_PATH="$dir" /usr/bin/time -v -o "$work/train.time" \
    "$dir/tessel" -p "${patterns[0]}" -u "${patterns[1]}" -v "$@" >/dev/null 2>&1)
  local bytes records
  bytes=$(cat "$work"/model/p.bin "$work"/model/p.bin.2 "$work"/model/u.bin "$work"/model/u.bin.2 | wc -c)
  records=$((bytes / 16))
  awk -v label="$label" -v s="$(seconds "$work/train.time")" -v f="$floor" \
    -v kb="$(peak_kb "$work/train.time")" -v r="$records" 'BEGIN {
      printf "%-40s %7.2f s  %4.2fx floor  peak %6.0f MB  %9d records  %5.1f bytes/record\n",
        label, s, s / f, kb / 1024, r, kb * 1024 / r }'
}

echo "corpus: $(cat "$corpus"/protected/*.txt "$corpus"/unprotected/*.txt | wc -c) bytes"
for mode in ${MODES:-shingle lm}; do
  if [ "$mode" = shingle ]; then lengths=$length args=(-l "$length"); else lengths=1,2 args=(-o 1); fi
  floor=$(floor_of "$lengths")
  echo "$mode floor (read, normalise, hash $lengths): $floor s"
  for dir in "${dirs[@]}"; do
    train "$mode ${args[*]} -v ($(basename "$dir"))" "$(realpath "$dir")" "$floor" "${args[@]}"
  done
done
