# tessel-serve answers as the tool's --format=json in the modes the document
# pipeline adds: the graded score of a language model, the protected file a
# hit shares most with (sources = yes), and the robust mode.
source "$(dirname "$0")/lib.sh"
serve "sources = yes"
same_as_tool "sources" docs/ru_leak.txt --sources=1
logged '"verdict":true,"score":68.18[0-9]*,"protected":15,"source":"../protected/ru_contract.txt"'

training="-o 1" serve "mode = language-model"
# The window's phrase is the tool's alone: the scores are compared.
for document in docs/ru_leak.txt docs/weekly_update.txt; do
  expect "language model, $document" "$(post "$document" | grep -o '"score":[^,]*')" \
    "$(tool_json "$document" -o 1 | grep -o '"score":[^,]*')"
done
logged '"outcome":"judged","verdict":false,"score":-[0-9.e+-]*,'

training=--robust serve "mode = robust"
for document in docs/ru_leak.txt docs/weekly_update.txt; do
  same_as_tool "robust, $document" "$document" --robust
done
stop_serve
