# tessel-serve answers as the tool's --format=json in the modes the document
# pipeline adds: the graded score of a language model, the protected file a
# hit shares most with (sources = yes), and the robust mode.
source "$(dirname "$0")/lib.sh"
same_as_tool() {  # same_as_tool WHAT DOCUMENT TOOL-OPTIONS...: the answer against the tool's line
  local what=$1 document=$2; shift 2
  local tool
  tool=$("$TESSEL" -t stop.txt -p model/p.bin -u model/u.bin -f -d "$document" --format=json "$@")
  expect "$what" "$(cut -d' ' -f2- <<<"$(post "$document")" | sed 's/,"generation":1//; s/"path":"[^"]*"//')" \
    "$(sed 's/"path":"[^"]*"//; s/[][*?\\]/\\&/g' <<<"$tool")"
}

serve "sources = yes"
same_as_tool "sources" docs/ru_leak.txt --sources=1
grep -q '"verdict":true,"score":68.18[0-9]*,"protected":15,"source":"../protected/ru_contract.txt"' requests.log ||
  fail "log: $(cat requests.log)"
stop_serve

training="-o 1" serve "mode = language-model"
# The window's phrase is the tool's alone: the scores are compared.
for document in docs/ru_leak.txt docs/weekly_update.txt; do
  expect "language model, $document" "$(post "$document" | grep -o '"score":[^,]*')" \
    "$("$TESSEL" -t stop.txt -p model/p.bin -u model/u.bin -f -d "$document" --format=json -o 1 |
       grep -o '"score":[^,]*')"
done
grep -q '"outcome":"judged","verdict":false,"score":-[0-9.e+-]*,' requests.log || fail "log: $(cat requests.log)"
stop_serve

training=--robust serve "mode = robust"
for document in docs/ru_leak.txt docs/weekly_update.txt; do
  expect "robust, $document" "$(post "$document" | cut -d' ' -f2- | sed 's/"path":"[^"]*",//; s/,"generation":1//')" \
    "$("$TESSEL" -t stop.txt -p model/p.bin -u model/u.bin -f -d "$document" --format=json --robust |
       sed 's/"path":"[^"]*",//; s/[][*?\\]/\\&/g')"
done
stop_serve
