# A document is judged in windows of words: a protected passage across the
# first window's end (word 65,536) and a UTF-8 one across the second's are
# found, with the verdicts, scores, phrases and offsets of judging it whole,
# with every formula, shifts above 1 and in JSON; and judging 20 MB of one
# repeated word takes less than four times its size, in both modes, and so
# it does in a host (Python through the C interface), the text it holds
# included: tessel_judge_text with every window scored (--lm-log),
# tessel_judge, _processShingles, and tessel_judge_file in shingle mode.
# The case ends skipped under a sanitizer build (peak memory is measured on
# the plain build only), so it judges nothing there either.
if ldd "$(command -v tessel)" | grep -q libasan; then
  echo "skip: peak memory is measured on the plain build only"; exit 77
fi
learn=(-p "$SRC/examples/corpus/protected/*.txt" -u "$SRC/examples/corpus/unprotected/*.txt")
mkdir shingle lm lm2 && (cd shingle && tessel "${learn[@]}" -v) && (cd lm && tessel "${learn[@]}" -o 1 -v 2>/dev/null)
(cd lm2 && tessel "${learn[@]}" -o 1 -s 2 -v 2>/dev/null)
python3 - "$SRC/examples/corpus" <<'PY'
import glob, random, sys
rng = random.Random(7)
words = ["".join(rng.choice("abcdefghij") for _ in range(rng.randrange(2, 8))) for _ in range(5000)]
plain = lambda n: " ".join(rng.choice(words) for _ in range(n))
leak = open(sys.argv[1] + "/docs/forwarded_email.txt", "rb").read().decode("cp1251")
ru = open(sys.argv[1] + "/docs/ru_leak.txt", "rb").read().decode("cp1251")
open("long.txt", "w", encoding="utf-8").write(
    plain(65530) + " " + leak + " " + plain(65500) + " " + ru + " " + plain(1000) + "\n")
for k in range(40):  # hit windows ending around the first window's end
    open("edge%02d.txt" % k, "w").write(plain(65536 - 60 + k) + " " + leak[:300] + " " + plain(50) + "\n")
open("same.txt", "w").write("x " * 10_000_000)
PY
for options in "-o 1" "-o 1 --lm-log --lm-factor 5" "-o 2 --lm-lambda0 1 --lm-log" "-o 3" \
    "-o 1 --format=json" "-o 3 --format=json --lm-log --lm-factor 9" "-s 2 -o 3 --lm-log" \
    "-s 2 -o 1 --lm-length 3"; do
  echo "== $options"
  model=lm && [ "${options#-s}" != "$options" ] && model=lm2
  tessel -f -p $model/p.bin -u $model/u.bin -d long.txt --no-headers $options 2>&1
done
tessel -f -p shingle/p.bin -u shingle/u.bin -d long.txt --format=json
# The sources of a long document: every window's shingles, every pair.
{ tessel -f -p shingle/p.bin -u shingle/u.bin -d long.txt --sources=2
  tessel -f -p lm/p.bin -u lm/u.bin -o 1 -d long.txt --no-headers --sources=2 2>&1; } | sed "s|$SRC/||"
ls edge*.txt >edges  # in name order, not the directory's
for options in "-o 1" "-o 3 --lm-log --lm-factor 9" "-o 2 --lm-threshold-2 1e30 --lm-threshold-1 1e-30"; do
  tessel -f -p lm/p.bin -u lm/u.bin --files-from edges --no-headers -j 1 $options 2>&1 | paste -s -d ' '
done
if [ -n "${TESSEL_CLI_WRAPPER:-}" ] || ! [ -x /usr/bin/time ]; then
  echo "skip: peak memory is measured on the plain build only"; exit 77
fi
for options in "-p shingle/p.bin -u shingle/u.bin" "-p lm/p.bin -u lm/u.bin -o 1 --lm-log"; do
  peak=$(/usr/bin/time -f %M tessel -f $options -d same.txt --no-headers 2>&1 >/dev/null | tail -1)
  [ "$peak" -lt $((4 * 20000)) ] && echo "below 4x: $options" || echo "$peak KB: $options"
done
export TESSEL_LIBRARY="$BIN/libtessel.so.0"
for call in "text lm language_model log=1" "judge lm language_model" "process lm language_model" \
    "file shingle shingles"; do
  set -- $call
  peak=$(/usr/bin/time -f %M python3 "$SRC/bench/judge_host.py" $1 $2 $3 same.txt "${@:4}" 2>&1 >verdict |
    tail -1)
  [ "$peak" -lt $((4 * 20000)) ] && echo "below 4x: $call, verdict $(cat verdict)" ||
    echo "$peak KB: $call"
done
