# A host judging 20 MB of one repeated word through the C interface (from
# Python) takes less than four times the document's size, the text it holds
# included: tessel_judge_text with every window scored (--lm-log),
# tessel_judge, _processShingles, and tessel_judge_file in shingle mode.
if [ -n "${TESSEL_CLI_WRAPPER:-}" ] || ! [ -x /usr/bin/time ] || ! command -v python3 >/dev/null ||
    ldd "$(command -v tessel)" | grep -q libasan; then
  echo "skip: peak memory is measured on the plain build only"; exit 77
fi
learn=(-p "$SRC/examples/corpus/protected/*.txt" -u "$SRC/examples/corpus/unprotected/*.txt")
mkdir shingle lm && (cd shingle && tessel "${learn[@]}" -v) && (cd lm && tessel "${learn[@]}" -o 1 -v 2>/dev/null)
python3 -c 'open("same.txt", "w").write("x " * 10_000_000)'
export TESSEL_LIBRARY="$BIN/libtessel.so.0"
for call in "text lm language_model log=1" "judge lm language_model" "process lm language_model" \
    "file shingle shingles"; do
  set -- $call
  peak=$(/usr/bin/time -f %M python3 "$SRC/bench/judge_host.py" $1 $2 $3 same.txt "${@:4}" 2>&1 >verdict |
    tail -1)
  [ "$peak" -lt $((4 * 20000)) ] && echo "below 4x: $call, verdict $(cat verdict)" ||
    echo "$peak KB: $call"
done
