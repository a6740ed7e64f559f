#!/usr/bin/env bash
# End-to-end benchmark of shingle mode: generates a Windows-1251 training
# corpus of at least 100 MB (many files) and 1,000 documents under /tmp,
# trains with -v, judges the documents with -f, and reports training MB/s,
# documents per second and peak memory. With perf installed it also shows
# where the training time goes (building against sort, Unique and Common).
#
# Usage: bench/e2e_shingle.sh [WORK_DIR]   (default /tmp/tessel-bench)
# Set MB to change the corpus size (default 100 MB).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work="${1:-/tmp/tessel-bench}"
megabytes="${MB:-100}"
tessel="$root/build/tessel"

if [ ! -x /usr/bin/time ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends time
fi
if [ ! -x "$tessel" ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j "$(nproc)" --target tessel_program
fi

generate() {
  rm -rf "$work"
  mkdir -p "$work/protected" "$work/unprotected" "$work/docs" "$work/model"
  python3 - "$work" "$megabytes" <<'PY'
import os, random, sys
work, megabytes = sys.argv[1], int(sys.argv[2])
rng = random.Random(7)
# Lower-case Cyrillic words of 2 to 10 letters; a Zipf-like choice makes some
# word runs recur, as in real prose.
vocabulary = [bytes(rng.randrange(0xE0, 0x100) for _ in range(rng.randrange(2, 11)))
              for _ in range(30000)]
weights = [1.0 / (rank + 1) for rank in range(len(vocabulary))]

def prose(size):
    words = rng.choices(vocabulary, weights, k=size // 6 + 16)
    out = bytearray()
    for i, word in enumerate(words):
        out += word
        out += b".\r\n" if i % 17 == 16 else b", " if i % 7 == 6 else b" "
        if len(out) >= size:
            break
    return bytes(out)

file_size = 100 * 1024
files = megabytes * 1024 * 1024 // file_size // 2 + 1
protected = []
for kind in ("protected", "unprotected"):
    for i in range(files):
        text = prose(file_size)
        if kind == "protected" and i < 200:
            protected.append(text)
        with open(os.path.join(work, kind, "%05d.txt" % i), "wb") as f:
            f.write(text)
# Documents of about 3 KB; every other one quotes 1 KB of a protected file.
for i in range(1000):
    text = prose(3 * 1024)
    if i % 2 == 0:
        source = protected[i % len(protected)]
        start = rng.randrange(0, len(source) - 1024)
        text = text[:1024] + b" " + source[start:start + 1024] + b" " + text[1024:2048]
    with open(os.path.join(work, "docs", "%04d.txt" % i), "wb") as f:
        f.write(text + b"\n")
PY
}

peak_kb() { awk -F': ' '/Maximum resident set size/ {print $2}' "$1"; }
elapsed() { awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$1" |
  awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }'; }

generate
bytes=$(cat "$work"/protected/*.txt "$work"/unprotected/*.txt | wc -c)
echo "corpus: $(ls "$work/protected" | wc -l) protected and $(ls "$work/unprotected" | wc -l)" \
  "unprotected files, $bytes bytes; 1000 documents"

cd "$work/model"
/usr/bin/time -v -o "$work/train.time" \
  "$tessel" -p "$work/protected/*.txt" -u "$work/unprotected/*.txt" -v >/dev/null
/usr/bin/time -v -o "$work/judge.time" \
  "$tessel" -f -p p.bin -u u.bin -d "$work/docs/*.txt" >"$work/verdicts.txt"

train_s=$(elapsed "$work/train.time")
judge_s=$(elapsed "$work/judge.time")
awk -v b="$bytes" -v s="$train_s" -v kb="$(peak_kb "$work/train.time")" \
  'BEGIN { printf "training: %.2f s, %.1f MB/s, peak %.0f MB\n", s, b / 1048576 / s, kb / 1024 }'
awk -v s="$judge_s" -v kb="$(peak_kb "$work/judge.time")" \
  'BEGIN { printf "judging:  %.2f s, %.0f documents/s, peak %.0f MB\n", s, 1000 / s, kb / 1024 }'
echo "protected verdicts: $(grep -c '>=' "$work/verdicts.txt") of $(wc -l <"$work/verdicts.txt")"
ls -l "$work/model"

if command -v perf >/dev/null && perf record -q -o "$work/perf.data" -g -- true 2>/dev/null; then
  echo "== where training time goes (perf, self time by symbol)"
  perf record -q -o "$work/perf.data" -- \
    "$tessel" -p "$work/protected/*.txt" -u "$work/unprotected/*.txt" >/dev/null 2>&1
  perf report -i "$work/perf.data" --no-children --sort symbol --stdio 2>/dev/null |
    grep -v '^#' | grep -v '^$' | head -25
fi
