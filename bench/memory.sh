#!/usr/bin/env bash
# Peak memory of judging one large document, two builds side by side: 50 MB
# of "x ", 50 MB of random words and 50 MB of real-looking text (the example
# corpus over and over), in shingle mode and with each formula (Formula1
# with --lm-log too), through tessel -f; then as a host judges it, through
# the C interface from Python (bench/judge_host.py): tessel_judge_file and
# tessel_judge_text in both modes, tessel_judge and _processShingles. A
# host's peak includes the interpreter and, for a text, the document it
# holds. Peak RSS is /usr/bin/time's.
#
# Usage: bench/memory.sh BEFORE_BUILD_DIR AFTER_BUILD_DIR [WORK_DIR]
# ONLY=tool or ONLY=host measures one of the two.
set -euo pipefail
before=$(realpath "$1") after=$(realpath "$2") work="${3:-/tmp/tessel-memory-bench}"
corpus=$(realpath "$(dirname "$0")/../examples/corpus")
host=$(realpath "$(dirname "$0")/judge_host.py")
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
[ "${ONLY:-tool}" = tool ] && printf "%-10s %-20s %8s %8s\n" document mode before after
for doc in same random real; do
  [ "${ONLY:-tool}" = tool ] || break
  for mode in "shingle" "-o 1" "-o 1 --lm-log" "-o 2" "-o 3"; do
    if [ "$mode" = shingle ]; then args=(-f -p shingle/p.bin -u shingle/u.bin -d "$doc.txt")
    else args=(-f -p lm/p.bin -u lm/u.bin -d "$doc.txt" --no-headers $mode); fi
    printf "%-10s %-20s %6s MB %5s MB\n" "$doc" "$mode" "$(peak "$before" "${args[@]}")" \
      "$(peak "$after" "${args[@]}")"
  done
done
host_peak() {  # build, then judge_host.py's arguments: peak RSS in MB
  TESSEL_LIBRARY="$1/libtessel.so.0" /usr/bin/time -f %M python3 "$host" "${@:2}" 2>&1 >/dev/null |
    tail -1 | awk '{ printf "%d", $1 / 1024 }'
}
[ "${ONLY:-host}" = host ] || exit 0
printf "\n%-10s %-32s %8s %8s\n" document host before after
for doc in same random real; do
  for call in "file shingle shingles" "text shingle shingles" "file lm language_model" \
      "text lm language_model log=1" "text lm language_model formula=3" "judge lm language_model" \
      "process lm language_model"; do
    set -- $call
    printf "%-10s %-32s %6s MB %5s MB\n" "$doc" "$1 $3 ${*:4}" \
      "$(host_peak "$before" $1 $2 $3 "$doc.txt" "${@:4}")" "$(host_peak "$after" $1 $2 $3 "$doc.txt" "${@:4}")"
  done
done
