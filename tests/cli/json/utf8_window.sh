# In JSON the window of a UTF-8 document spans its phrase's bytes in the
# document, the last word's letters at their UTF-8 size: the slice decodes
# and holds the phrase's words, in both forms of each text.
cp -r "$SRC/examples/corpus/." . && mkdir u8
for doc in docs/*.txt; do iconv -f cp1251 -t utf-8 <"$doc" >u8/${doc#docs/}; done
learn=(-t stop.txt -p 'protected/*.txt' -u 'unprotected/*.txt')
check='
import json, re, sys
for raw in sys.stdin:
    obj = json.loads(raw)
    if obj["type"] != "document" or not obj["verdict"]: continue
    window = obj["window"]
    text = open(obj["path"], "rb").read()
    piece = text[window["offset"]:window["offset"] + window["length"]]
    words = piece.decode("utf-8" if obj["path"].startswith("u8/") else "cp1251")
    stop = set(open("stop.txt", encoding="cp1251").read().upper().split())
    kept = [w for w in re.findall(r"[^\W\d_]+", words.upper()) if w not in stop]
    same = " ".join(kept) == window["phrase"].upper()
    print(obj["path"], window["offset"], window["length"], same, words.split()[-1])
'
ls docs/*.txt u8/*.txt >list
for options in "-o 1" "-o 3 --lm-length 4"; do
  echo "== $options"
  tessel "${learn[@]}" $options --format=json --no-headers -j 1 --files-from list |
    python3 -c "$check" | sort
done
