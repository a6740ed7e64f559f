# Every JSON object carries "version": 1 and exactly the members the user
# guide documents for its kind, all in lower case: documents judged in both
# modes (with and without --sources), a document that cannot be read, a
# binary one, one too short to judge, one shorter than a Formula2 window
# (score null), and the evaluation object. The window of a UTF-8 document
# spans its phrase's bytes in the document, the last word's letters at their
# UTF-8 size: the slice decodes and holds the phrase's words, in both forms
# of each text.
cp -r "$SRC/examples/corpus/." . && mkdir u8
for doc in docs/*.txt; do iconv -f cp1251 -t utf-8 <"$doc" >u8/${doc#docs/}; done
ls docs/*.txt u8/*.txt >list
mkdir docs/dir.txt && echo lonely >docs/one.txt
printf 'PNG\0binary' >docs/logo.png
window='
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
check='
import json, sys
common = {"type", "version", "path", "path_bytes", "mode", "formula"}
judged = {"verdict", "score", "sources"}
kinds = {
    "shingle": judged | {"protected", "unprotected", "common", "distinct", "threshold", "scaled"},
    "language-model": judged | {"window"},
}
evaluation = {"type", "version", "lm_threshold_1", "lm_threshold_2", "lm_length", "lm_lambda",
              "lm_lambda0", "lm_log", "lm_factor", "p_count", "u_count", "p_p_count",
              "p_u_count", "recall", "precision", "f"}
seen = {}
for line in sys.stdin:
    obj = json.loads(line)
    keys = set(obj)
    assert obj["version"] == 1 and all(k == k.lower() for k in keys), obj
    if obj["type"] == "evaluation":
        assert keys == evaluation, keys ^ evaluation
        kind = "evaluation"
    elif "verdict" in obj:
        allowed = common | kinds[obj["mode"]]
        assert keys <= allowed and {"score", "verdict"} <= keys, keys - allowed
        kind = "verdict, score " + ("null" if obj["score"] is None else "number")
    else:
        (reason,) = keys & {"error", "skipped"}
        assert keys - {reason} <= common, keys
        kind = reason
    seen[kind] = seen.get(kind, 0) + 1
print(" ".join(f"{kind}: {count}" for kind, count in sorted(seen.items())))
'
learn=(-t stop.txt -p 'protected/*.txt' -u 'unprotected/*.txt' --format=json --no-headers --no-title)
for options in "" "--sources=2" "-o 1" "-o 1 --sources=2" "-o 2 --lm-length 40" "-o 3 --lm-log"; do
  echo "== $options"
  tessel "${learn[@]}" $options -d 'docs/*' 2>/dev/null | python3 -c "$check"
done
for options in "-o 1" "-o 3 --lm-length 4"; do
  echo "== $options"
  tessel "${learn[@]}" $options -j 1 --files-from list | python3 -c "$window" | sort
done
