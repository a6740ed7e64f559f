# labels: threads
# --format=json writes one JSON object per listed document and nothing else
# on standard output, in both modes: names with a TAB, a line feed and bytes
# that are not UTF-8 come back whole through json.loads (path_bytes), an
# unreadable document gets an error, a one-word document a note, and the
# language-model run ends with the evaluation object. -j 4 writes the same;
# -x tallies the shingle lines; -e and unknown formats are refused.
cp -r "$SRC/examples/corpus/." . && mkdir odd
cp docs/ru_leak.txt $'odd/tab\there.txt' && cp docs/forwarded_email.txt $'odd/line\nfeed.txt'
cp docs/ru_notice.txt $'odd/bad\xff\xc3(.txt' && cp docs/weekly_update.txt 'odd/ünïcode.txt'
echo lonely >odd/one.txt && mkdir odd/dir.txt
check='
import base64, json, os, sys
for raw in sys.stdin.buffer:
    obj = json.loads(raw)
    if obj["type"] == "evaluation":
        print("evaluation", obj["p_count"], obj["u_count"], obj["recall"], obj["precision"])
        continue
    name = base64.b64decode(obj["path_bytes"]) if "path_bytes" in obj else obj["path"].encode()
    assert os.path.lexists(name), name
    del obj["path"]; obj.pop("path_bytes", None)
    print(repr(name)[2:-1], json.dumps(obj, ensure_ascii=False, sort_keys=True))
'
learn=(-t stop.txt -p 'protected/*.txt' -u 'unprotected/*.txt')
for options in "" "-o 1" "-o 3 --lm-length 4"; do
  echo "== $options"
  tessel "${learn[@]}" $options --format=json --no-headers -j 1 -d 'odd/*' >one 2>err1
  python3 -c "$check" <one | sort && tail -n 1 one | cut -c1-22
  tessel "${learn[@]}" $options --format=json --no-headers -j 4 -d 'odd/*' >four 2>err4
  cmp one four && cmp err1 err4 && sort err4
done
echo "== header warnings go to standard error"
for run in 1 2; do tessel "${learn[@]}" -o 1 --format=json -d 'odd/*.txt' 2>&1 >/dev/null | sort; done
(tessel "${learn[@]}" --format=json -d 'odd/*'; printf '{brace\t3\t0\t0\t3<10\n[]\n') | tessel -x
tessel "${learn[@]}" --format=json -e -d 'odd/*'; tessel --format=xml -d 'odd/*'
