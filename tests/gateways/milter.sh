# tessel-milter under Debian's miltertest: a clean message, a leak in the
# body, in a base64 attachment, split over two parts, one in KOI8-R (neither
# flagged alone),
# a malformed MIME message and one over the size limit; then the reject and
# quarantine actions, and a model reloaded by SIGUSR1.
source "$(dirname "$0")/lib.sh"
need_milter miltertest
train model
message() {  # message NAME CONTENT-TYPE: headers on standard output; the body follows
  printf 'From: a@example.test\nTo: b@example.test\nSubject: %s\nMIME-Version: 1.0\nContent-Type: %s\n\n' "$1" "$2"
}
{ message clean text/plain; cat docs/weekly_update.txt; } >clean.eml
{ message body 'text/plain; charset=windows-1251'; cat docs/ru_leak.txt; } >body.eml
{ message attachment 'multipart/mixed; boundary="b1"'
  printf -- '--b1\nContent-Type: text/plain\n\nSee the attachment.\n--b1\n'
  printf 'Content-Type: text/plain; name="notes.txt"\nContent-Disposition: attachment; filename="notes.txt"\n'
  printf 'Content-Transfer-Encoding: base64\n\n'; base64 docs/ru_leak.txt; printf -- '--b1--\n'; } >attachment.eml
{ message split 'multipart/alternative; boundary="b2"'
  printf -- '--b2\nContent-Type: text/plain; charset=koi8-r\n\n'; head -1 docs/ru_leak.txt | iconv -f cp1251 -t koi8-r
  printf -- '--b2\nContent-Type: text/plain; charset=windows-1251\n\n'; tail -n +2 docs/ru_leak.txt; printf -- '--b2--\n'; } >split.eml
{ message utf8 'text/plain; charset=utf-8'; iconv -f cp1251 -t utf-8 docs/ru_leak.txt; } >utf8.eml
{ message broken 'multipart/mixed; boundary="never"'; cat docs/ru_leak.txt; } >broken.eml
{ message huge text/plain; for _ in $(seq 1200); do cat docs/ru_leak.txt; done; } >huge.eml

# Each half of the split message alone stays under the threshold.
for half in 1 2; do
  if [ $half = 1 ]; then head -1 docs/ru_leak.txt; else tail -n +2 docs/ru_leak.txt; fi >half
  "$TESSEL" -t stop.txt -p model/p.bin -u model/u.bin -f -d half -m 12 --size-threshold 1 | grep '<12' >/dev/null ||
    fail "half $half is flagged alone"
done

# with_action ACTION [CONFIGURATION LINE...]: tessel-milter, logging to
# ACTION.log, once the one it started before has stopped.
with_action() {
  ! kill -0 "${milter:-none}" 2>/dev/null || stop "$milter"
  start_milter "$1" "action = $1" "max_threshold = 12" "size_threshold = 1" "max_body = 200000" "${@:2}"
}

with_action headers
expect "headers" "$(send_mail clean.eml body.eml utf8.eml attachment.eml split.eml broken.eml huge.eml | tr '\n' '|')" \
"clean.eml: SMFIR_CONTINUE|body.eml: SMFIR_CONTINUE verdict-header score-header|utf8.eml: SMFIR_CONTINUE verdict-header score-header|attachment.eml: SMFIR_CONTINUE verdict-header score-header|split.eml: SMFIR_CONTINUE verdict-header score-header|broken.eml: SMFIR_CONTINUE verdict-header score-header|huge.eml: SMFIR_CONTINUE|"
logged '"front":"milter","id":"huge.eml","size":[0-9]*,"outcome":"too_large"' headers.log
logged '"front":"milter","id":"split.eml","size":[0-9]*,"outcome":"judged","verdict":true' headers.log

# A model trained the other way round, loaded by SIGUSR1, passes the leak.
train model reverse
kill -USR1 "$milter"
wait_log model_loaded 2 headers.log
expect "reloaded" "$(send_mail body.eml)" "body.eml: SMFIR_CONTINUE"

train model
with_action reject
expect "reject" "$(send_mail clean.eml body.eml | tr '\n' '|')" "clean.eml: SMFIR_CONTINUE|body.eml: SMFIR_REPLYCODE|"
with_action quarantine
expect "quarantine" "$(send_mail body.eml)" "body.eml: SMFIR_CONTINUE verdict-header score-header quarantined"

# A leak in a DOCX attachment (here: its text with a NUL after each byte,
# which the converter drops) is flagged only through the converter the
# configuration names; the log names the protected file it comes from.
{ message docx 'multipart/mixed; boundary="b3"'
  printf -- '--b3\nContent-Type: text/plain\n\nSee the attachment.\n--b3\n'
  printf 'Content-Type: application/vnd.openxmlformats-officedocument.wordprocessingml.document\n'
  printf 'Content-Disposition: attachment; filename="leak.docx"\nContent-Transfer-Encoding: base64\n\n'
  sed 's/./&\x00/g' docs/ru_leak.txt | base64; printf -- '--b3--\n'; } >docx.eml
printf '#!/bin/sh\ntr -d "\\000" <"$1"\n' >strip && chmod +x strip
with_action headers
expect "docx unconverted" "$(send_mail docx.eml)" "docx.eml: SMFIR_CONTINUE"
with_action headers "converter = .docx $work/strip" "sources = yes"
expect "docx converted" "$(send_mail docx.eml)" "docx.eml: SMFIR_CONTINUE verdict-header score-header"
stop "$milter"
logged '"id":"docx.eml",.*"verdict":true,"score":[0-9.]*,"protected":[0-9]*,"source":"../protected/ru_contract.txt"' headers.log

# A model that reads only UTF-8 (trained on the corpus and stop words in
# UTF-8), or byte for byte, is given the text parts in UTF-8, or in
# Windows-1251, whatever their charset.
mkdir -p utf-8/protected utf-8/unprotected cp1251
cp -r protected unprotected stop.txt cp1251/
for file in protected/* unprotected/* stop.txt; do iconv -f cp1251 -t utf-8 "$file" >"utf-8/$file"; done
for encoding in utf-8 cp1251; do
  cp -r "$encoding/." . && train model - --encoding=$encoding
  with_action headers
  expect "read as $encoding" "$(send_mail clean.eml body.eml utf8.eml split.eml | tr '\n' '|')" \
"clean.eml: SMFIR_CONTINUE|body.eml: SMFIR_CONTINUE verdict-header score-header|utf8.eml: SMFIR_CONTINUE verdict-header score-header|split.eml: SMFIR_CONTINUE verdict-header score-header|"
done

# A message of 40 MiB is kept in an unnamed temporary file, and GMime parses
# it from there: the milter grows by far less than the message, and the leak
# in its text part gets the tool's verdict.
{ printf 'From: a@example.test\nSubject: big\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary="b"\n\n'
  printf -- '--b\nContent-Type: text/plain; charset=windows-1251\n\n'; cat docs/ru_leak.txt
  printf -- '--b\nContent-Type: image/png\nContent-Transfer-Encoding: base64\n\n'
  head -c 30000000 /dev/zero | base64; printf -- '--b--\n'; } >big.eml
start_milter requests "action = headers" "max_body = 100000000"
sleep 0.5
before=$(peak_kb "$milter")
answer=$(mail_timeout=60 send_mail big.eml)
grown=$(($(peak_kb "$milter") - before))
expect "answer" "$answer" "big.eml: SMFIR_CONTINUE verdict-header score-header"
logged "\"outcome\":\"judged\",\"verdict\":true,$(tool_json docs/ru_leak.txt | grep -o '"score":[0-9.]*'),"
sanitized || ((grown < 30000)) || fail "the milter grew by $grown KiB for a message of 40 MiB"
