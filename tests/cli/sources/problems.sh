# A model that cannot name sources says so once on standard error and judging
# goes on: one whose sources file comes from another model or follows another
# set file, one saved again from its set files (-f -v saves no sources and
# removes the old sources file, which would not match the new model).
# --sources takes a count of 1 or more. In JSON each document has a "sources"
# array; names with a TAB or bytes that are not UTF-8 come back through
# json.loads (path_bytes).
cp -r "$SRC/examples/corpus/." . && mkdir odd
cp protected/salary_review.txt $'odd/salary\treview\xff.txt' && cp protected/merger_plan.txt odd/
sed -n 3,7p protected/salary_review.txt >docs/salary_leak.txt
learn=(-t stop.txt -p 'odd/*' -u 'unprotected/*.txt')
check='
import base64, json, sys
for raw in sys.stdin.buffer:
    obj = json.loads(raw)
    for source in obj.get("sources", []):
        name = base64.b64decode(source["path_bytes"]) if "path_bytes" in source else source["path"].encode()
        print(obj["path"], obj["verdict"], repr(name)[2:-1], source["shared"], source.get("phrase"))
    if obj.get("sources") == []: print(obj["path"], obj["verdict"], "no sources")
'
for mode in "" "-o 1"; do
  echo "== json ${mode:-shingles}"
  mkdir -p "m$mode" && (cd "m$mode" && tessel -t ../stop.txt -p '../odd/*' -u '../unprotected/*.txt' $mode -v)
  tessel -t stop.txt -f -p "m$mode/p.bin" -u "m$mode/u.bin" $mode --no-headers --no-title \
    --format=json --sources=2 -d 'docs/*.txt' | python3 -c "$check"
done
judge=(-t stop.txt -f -p m/p.bin -u m/u.bin --sources=1 --exit-status -d docs/forwarded_email.txt)
echo "== a set file the sources do not follow"
cp m/u.bin m/other.bin && tessel -t stop.txt -f -p m/other.bin -u m/u.bin --sources=1 -d docs/ru_notice.txt
echo "== a sources file of another model"
cp "m-o 1/tessel.sources" m/ && tessel "${judge[@]}"; echo "status $?"
echo "== saved again from its set files, so without one"
(cd m && tessel -t ../stop.txt -f -p p.bin -u u.bin -v) && ls m && tessel "${judge[@]}"; echo "status $?"
echo "== counts"
tessel "${learn[@]}" --sources=0 -d docs/forwarded_email.txt; tessel "${learn[@]}" --sources=x -d docs/forwarded_email.txt
