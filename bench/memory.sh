#!/usr/bin/env bash
# Peak memory of judging one large document, two builds side by side: 50 MB
# of "x ", 50 MB of random words and 50 MB of real-looking text (the example
# corpus over and over), in shingle mode and with each formula (Formula1
# with --lm-log too), through tessel -f. Peak RSS is /usr/bin/time's.
#
# Usage: bench/memory.sh BEFORE_BUILD_DIR AFTER_BUILD_DIR [WORK_DIR]
set -euo pipefail
before=$(realpath "$1") after=$(realpath "$2") work="${3:-/tmp/tessel-memory-bench}"
corpus=$(realpath "$(dirname "$0")/../examples/corpus")
mkdir -p "$work"/{shingle,lm}
cd "$work"
python3 - "$corpus" <<'PY'
import glob, os, random, sys
size = 50_000_000
if not os.path.exists("same.txt"):
    open("same.txt", "w").write("x " * (size // 2))
if not os.path.exists("random.txt"):
    rng = random.Random(5)
    vocabulary = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randrange(2, 10)))
                  for _ in range(50000)]
    words, n = [], 0
    while n < size:
        words.append(rng.choice(vocabulary)); n += len(words[-1]) + 1
    open("random.txt", "w").write(" ".join(words) + "\n")
if not os.path.exists("real.txt"):
    texts = b"\n".join(open(f, "rb").read() for f in sorted(glob.glob(sys.argv[1] + "/*/*.txt")))
    open("real.txt", "wb").write(texts * (size // len(texts) + 1))
PY
train() {
  (cd "$1" && LD_LIBRARY_PATH="$after" "$after/tessel" -p "$corpus/protected/*" \
    -u "$corpus/unprotected/*" -v "${@:2}" >/dev/null 2>&1)
}
[ -f shingle/p.bin ] || train shingle
[ -f lm/p.bin ] || train lm -o 1
peak() {  # build, then the tool's arguments: peak RSS in MB
  LD_LIBRARY_PATH="$1" /usr/bin/time -f %M "$1/tessel" "${@:2}" 2>&1 >/dev/null | tail -1 |
    awk '{ printf "%d", $1 / 1024 }'
}
printf "%-10s %-20s %8s %8s\n" document mode before after
for doc in same random real; do
  for mode in "shingle" "-o 1" "-o 1 --lm-log" "-o 2" "-o 3"; do
    if [ "$mode" = shingle ]; then args=(-f -p shingle/p.bin -u shingle/u.bin -d "$doc.txt")
    else args=(-f -p lm/p.bin -u lm/u.bin -d "$doc.txt" --no-headers $mode); fi
    printf "%-10s %-20s %6s MB %5s MB\n" "$doc" "$mode" "$(peak "$before" "${args[@]}")" \
      "$(peak "$after" "${args[@]}")"
  done
done
