# labels: quick
# --exit-status ends like grep: 0 when no data file was judged protected, 1
# when one was, 2 after any error, 2 winning; without it the status is 0. A
# binary document is skipped with a notice, not an error.
cp -r "$SRC/examples/corpus/." . && mkdir -p bad mix/dir.txt && cp docs/ru_leak.txt mix/ && cp -r protected learn && mkdir learn/dir.txt
learn=(-t stop.txt -p 'protected/*.txt' -u 'unprotected/*.txt')
status() {  # label, options...
  local label=$1; shift
  tessel "$@" >/dev/null 2>&1
  echo "$? $label"
}
status "clean, shingle mode" "${learn[@]}" -d docs/weekly_update.txt --exit-status
status "protected found" "${learn[@]}" -d 'docs/*.txt' --exit-status
status "protected found, without the option" "${learn[@]}" -d 'docs/*.txt'
status "clean, language model" "${learn[@]}" -o 1 --no-headers -d docs/ru_notice.txt --exit-status
status "protected, language model, json" "${learn[@]}" -o 3 --format=json --no-headers -d docs/ru_leak.txt --exit-status
status "unreadable document beside a protected one" "${learn[@]}" -d 'mix/*' --exit-status
mkdir bin && cp docs/ru_leak.txt docs/weekly_update.txt bin/ && printf '\x89PNG\r\n\x1a\n\0\0\0\rIHDR' >bin/logo.png
status "binary document beside a protected one" "${learn[@]}" -d 'bin/*' --exit-status
status "binary document beside a clean one, language model" "${learn[@]}" -o 1 --no-headers \
  -d 'bin/[lw]*' --exit-status
for o in 0 2; do tessel "${learn[@]}" -o $o --format=json --no-headers -d bin/logo.png --exit-status; echo "$?"; done
status "unreadable list" "${learn[@]}" -d docs/ru_leak.txt --files-from=none.lst --exit-status
status "pattern matching nothing" "${learn[@]}" -d 'docs/none*' --exit-status
status "unknown option" --exit-status --bogus "${learn[@]}" -d docs/weekly_update.txt
status "missing option argument" "${learn[@]}" -d docs/weekly_update.txt --exit-status -m
status "refused value" "${learn[@]}" -m -1 -d docs/weekly_update.txt --exit-status
status "refused format" --exit-status --format=yaml
status "missing stop-word file" -t none.txt -p 'protected/*.txt' -d docs/weekly_update.txt --exit-status
status "unreadable learning file" -p 'learn/*' -v --exit-status
status "model not loaded" -f -p none.bin -d docs/weekly_update.txt --exit-status
mkdir p.bin && status "failed save" "${learn[@]}" -v --exit-status && rmdir p.bin
status "model saved" "${learn[@]}" -o 1 -v --exit-status
echo "plain words here." >bad/x.txt && mkdir bad/x.hdr && status "header not written" -f -t stop.txt -p p.bin -u u.bin -o 1 -d bad/x.txt --exit-status
status "header not written, --no-headers" -f -t stop.txt -p p.bin -u u.bin -o 1 -d bad/x.txt \
  --exit-status --no-headers
tessel "${learn[@]}" -d docs/weekly_update.txt --exit-status >/dev/full; echo "$? standard output lost"
status "subtraction of a missing file" -b -p p.bin -u none.bin --exit-status
status "version" --exit-status --version
status "report" --exit-status -x
