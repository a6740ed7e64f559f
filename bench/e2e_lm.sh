#!/usr/bin/env bash
# End-to-end benchmark of the language-model mode and of the subtraction:
#  1. training (-o 1 -v) on generated Windows-1251 text, >= 100 MB in many files;
#  2. judging 1,000 documents with the saved model (-f -o 1);
#  3. -b over two set files of ten million records each, both in digest order
#     as the tool saves them, and once more over two unordered files.
# Reports MB/s, documents/s, seconds and peak memory (/usr/bin/time -v).
#
# Usage: bench/e2e_lm.sh [WORK_DIR]   (default: a temporary directory, removed)
# Environment: TESSEL (default build/tessel), LEARN_FILES (per side, default
# 100), LEARN_KB (size of a learning file, default 520), DOCS (default 1000),
# RECORDS (default 10000000).
set -euo pipefail
cd "$(dirname "$0")/.."
tessel=${TESSEL:-$(pwd)/build/tessel}
learn_files=${LEARN_FILES:-100}
learn_kb=${LEARN_KB:-520}
docs=${DOCS:-1000}
records=${RECORDS:-10000000}
[ -x "$tessel" ] || { echo "build tessel first: $tessel" >&2; exit 1; }

if [ $# -ge 1 ]; then
  work=$1
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
cd "$work"

if [ -d prot ] && [ -d plain ] && [ -d docs ]; then
  echo "== reusing the corpus in $work"
else
echo "== generating corpus in $work"
python3 - "$learn_files" "$learn_kb" "$docs" <<'EOF'
import itertools, os, random, sys
files, kb, docs = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(1)
letters = bytes(range(0xE0, 0x100))  # lower-case Cyrillic in Windows-1251
def vocabulary(n):
    return [bytes(rng.choice(letters) for _ in range(rng.randint(3, 10))) for _ in range(n)]
shared, prot_only, plain_only = vocabulary(3000), vocabulary(2000), vocabulary(2000)
# Zipf-like word frequencies.
weights = list(itertools.accumulate(1.0 / (i + 1) for i in range(5000)))
def text(words, size):
    out, length = [], 0
    while length < size:
        line = b" ".join(rng.choices(words, cum_weights=weights, k=12)) + b".\n"
        out.append(line)
        length += len(line)
    return b"".join(out)
for side, own in (("prot", prot_only), ("plain", plain_only)):
    os.makedirs(side, exist_ok=True)
    words = own + shared
    for i in range(files):
        with open(f"{side}/{i:04d}.txt", "wb") as f:
            f.write(text(words, kb * 1024))
os.makedirs("docs", exist_ok=True)
for i in range(docs):
    words = (prot_only if i % 2 else plain_only) + shared
    with open(f"docs/{i:04d}.txt", "wb") as f:
        f.write(text(words, 2048))
EOF
fi

# Runs a command under /usr/bin/time -v; sets elapsed (s) and peak (MB).
measure() {
  local log=$1
  shift
  /usr/bin/time -v "$@" 2>"$log.time" >"$log.out" || true
  elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ {
      n = split($2, t, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + t[i]; print s }' "$log.time")
  peak=$(awk -F': ' '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }' "$log.time")
}

learn_bytes=$(cat prot/*.txt plain/*.txt | wc -c)
echo "== training on $((learn_bytes / 1000000)) MB in $((2 * learn_files)) files"
measure train "$tessel" -p 'prot/*.txt' -u 'plain/*.txt' -o 1 -v
echo "   ${elapsed} s, $(awk -v b="$learn_bytes" -v s="$elapsed" 'BEGIN { printf "%.1f", b / 1e6 / s }') MB/s, peak ${peak} MB"
ls -l p.bin p.bin.2 u.bin u.bin.2 | awk '{ print "   " $5 "\t" $9 }'

echo "== judging $docs documents with -f -o 1"
measure judge "$tessel" -f -p p.bin -u u.bin -d 'docs/*.txt' -o 1
judged=$(grep -c -E '(true|false)$' judge.out || true)
echo "   ${elapsed} s, $(awk -v d="$docs" -v s="$elapsed" 'BEGIN { printf "%.0f", d / s }') documents/s, peak ${peak} MB"
echo "   verdicts: $judged, judged protected: $(grep -c 'true$' judge.out || true)"
echo "   evaluation line: $(grep -P '^[^\t].*\t' judge.time | tail -n 1)"

echo "== subtraction of two set files of $records records each"
python3 - "$records" <<'EOF'
import array, sys
n = int(sys.argv[1])
step = 1 << 39  # spreads the leading bytes; 3 * n * step stays below 2**64
def write(name, factor):
    values = array.array("Q", range(0, factor * n * step, factor * step))
    records = array.array("Q", bytes(16 * n))
    records[0::2] = values
    mixed = array.array("Q", ((v ^ 0x9E3779B97F4A7C15) for v in values))
    records[1::2] = mixed
    if sys.byteorder == "little":
        records.byteswap()  # big-endian, so that byte order is numeric order
    with open(name, "wb") as f:
        records.tofile(f)
write("first.bin", 2)   # multiples of 2 steps
write("second.bin", 3)  # multiples of 3 steps: a third of first.bin goes
EOF
head -c $((16 * records)) /dev/urandom >first.rnd
head -c $((16 * records)) /dev/urandom >second.rnd
measure sub "$tessel" -b -p first.bin -u second.bin
expected=$(( (records - (records + 2) / 3) * 17 ))
echo "   ordered:   ${elapsed} s, peak ${peak} MB, output $(stat -c %s sub.out) bytes (expected $expected)"
measure subrnd "$tessel" -b -p first.rnd -u second.rnd
echo "   unordered: ${elapsed} s, peak ${peak} MB, output $(stat -c %s subrnd.out) bytes"
