#!/usr/bin/env bash
# Judging with a saved model, two builds side by side in one run: the C
# interface (bench/judge_bench.cpp) and tessel -f in both modes, each against
# the time of hashing the same documents. (-j: bench/scaling_bench.sh.)
#
# Usage: bench/judge.sh BEFORE_BUILD_DIR AFTER_BUILD_DIR [WORK_DIR]
# The corpus (34 MB of learning text with a vocabulary of 200,000 words, so
# that the language model holds millions of distinct digests, 30 ordinary
# documents of 100 KB and 1,000 of 10 KB) is generated when missing, and the
# models are trained with the after build. Each build's programs run with
# its own library, so a build directory may be copied elsewhere to be kept.
set -euo pipefail
before=$(realpath "$1") after=$(realpath "$2") work="${3:-/tmp/tessel-judge-bench}"
bench="$after/bench/judge_bench"

generate() {
  rm -rf "$work" && mkdir -p "$work"/{protected,unprotected,ordinary,docs,lm,shingle}
  python3 - "$work" <<'PY'
import os, random, sys
work = sys.argv[1]
rng = random.Random(11)
vocabulary = [bytes(rng.randrange(0xE0, 0x100) for _ in range(rng.randrange(3, 12)))
              for _ in range(200000)]
weights = [1.0 / (rank + 1) ** 0.9 for rank in range(len(vocabulary))]

def prose(ranking, size):
    words = rng.choices(ranking, weights, k=size // 7 + 16)
    out = bytearray()
    for i, word in enumerate(words):
        out += word + (b".\r\n" if i % 17 == 16 else b", " if i % 7 == 6 else b" ")
        if len(out) >= size:
            break
    return bytes(out) + b"\n"

def shuffled():
    ranking = vocabulary[:]
    rng.shuffle(ranking)
    return ranking

for kind, count, size in (("protected", 170, 100 << 10), ("unprotected", 170, 100 << 10),
                          ("ordinary", 30, 100 << 10), ("docs", 1000, 10 << 10)):
    ranking = shuffled()
    for i in range(count):
        with open(os.path.join(work, kind, "%04d.txt" % i), "wb") as f:
            f.write(prose(ranking, size))
PY
  (cd "$work/lm" && LD_LIBRARY_PATH="$after" "$after/tessel" -p "$work/protected/*.txt" -u "$work/unprotected/*.txt" -o 1 -v >/dev/null 2>&1)
  (cd "$work/shingle" && LD_LIBRARY_PATH="$after" "$after/tessel" -p "$work/protected/*.txt" -u "$work/unprotected/*.txt" -v >/dev/null)
}

[ -f "$work/lm/u.bin.2" ] || generate
cd "$work"  # language-model runs write their title file here
LD_LIBRARY_PATH="$after" "$after/tessel-sets" info "$work"/lm/*.bin* "$work"/shingle/[pu].bin
cat "$work"/lm/* "$work"/shingle/* >/dev/null  # from the page cache

echo "== C interface: 30 ordinary documents of 100 KB, fastest of 5 passes"
for general in "" --general; do
  for build in "$before" "$after"; do
    echo "-- $build $general"
    "$bench" api "$build/libtessel.so" "$work/lm" 5 $general "$work"/ordinary/*.txt
  done
done

seconds() {  # command...: wall seconds, the fastest of three runs
  local start end
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc
  done | sort -n | head -1
}

echo "== tessel -f, 1,000 documents of 10 KB: preparation, data loop, hashing baseline (fastest of 3)"
for mode in shingle lm; do
  args=(-f -p "$work/$mode/p.bin" -u "$work/$mode/u.bin")
  [ "$mode" = lm ] && args+=(-o 1)
  n=5
  [ "$mode" = lm ] && n=0
  for build in "$before" "$after"; do
    prepare=$(seconds env LD_LIBRARY_PATH="$build" "$build/tessel" "${args[@]}" -d "$work/none*")
    total=$(seconds env LD_LIBRARY_PATH="$build" "$build/tessel" "${args[@]}" -d "$work/docs/*.txt")
    hash=$(for _ in 1 2 3; do "$bench" hash $n "$work"/docs/*.txt; done | sort -n | head -1)
    echo "$mode $build: preparation $prepare s, data loop $(echo "$total - $prepare" | bc) s," \
      "hashing $hash s"
  done
done

echo "== --sources=3 on 100 hits of 10 KB (passages of protected files), after build only"
if [ ! -d "$work/hits" ]; then
  mkdir -p "$work/hits"
  for i in $(seq -w 0 99); do head -c 10240 "$work/protected/00$i.txt" >"$work/hits/$i.txt"; done
fi
ls -l "$work"/shingle/p.bin "$work"/shingle/tessel.sources "$work"/lm/p.bin.2 "$work"/lm/tessel.sources 2>/dev/null |
  awk '{ print $5, $9 }'
for mode in shingle lm; do
  args=(-f -p "$work/$mode/p.bin" -u "$work/$mode/u.bin" --no-headers --no-title)
  [ "$mode" = lm ] && args+=(-o 1)
  for sources in "" --sources=3; do
    total=$(seconds env LD_LIBRARY_PATH="$after" "$after/tessel" "${args[@]}" $sources -d "$work/hits/*.txt")
    /usr/bin/time -f %M -o "$work/peak" env LD_LIBRARY_PATH="$after" "$after/tessel" "${args[@]}" \
      $sources -d "$work/hits/*.txt" >/dev/null 2>&1
    peak=$(tail -1 "$work/peak")
    echo "$mode ${sources:-without}: $total s, peak $peak KB"
  done
done
