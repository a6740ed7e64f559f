# tessel-milter keeps a message of 40 MiB in an unnamed temporary file, and
# GMime parses it from there: the milter grows by far less than the message,
# and the leak in its text part gets the tool's verdict.
source "$(dirname "$0")/lib.sh"
need_milter miltertest
train model
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
