# tessel-milter keeps a message of 40 MiB in an unnamed temporary file, and
# GMime parses it from there: the milter grows by far less than the message,
# and the leak in its text part gets the tool's verdict.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
command -v miltertest >/dev/null || { echo "skip: no miltertest"; exit 77; }
[ -x "$GATEWAY_BIN/tessel-milter" ] || { echo "skip: tessel-milter not built"; exit 77; }
train model
{ printf 'From: a@example.test\nSubject: big\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary="b"\n\n'
  printf -- '--b\nContent-Type: text/plain; charset=windows-1251\n\n'; cat docs/ru_leak.txt
  printf -- '--b\nContent-Type: image/png\nContent-Transfer-Encoding: base64\n\n'
  head -c 30000000 /dev/zero | base64; printf -- '--b--\n'; } >big.eml
port=$((20000 + RANDOM % 40000))
{ echo "model = $work/model"; echo "stop_words = $work/stop.txt"; echo "listen = 127.0.0.1:$port"
  echo "action = headers"; echo "max_body = 100000000"; echo "request_log = $work/requests.log"; } >milter.conf
"$GATEWAY_BIN/tessel-milter" milter.conf 2>>milter.err &
milter=$!
pids+=("$milter")
sleep 0.5
before=$(peak_kb "$milter")
answer=$(timeout 60 miltertest -D port="$port" -D messages=big.eml -s "$here/milter.lua" 2>&1 || true)
grown=$(($(peak_kb "$milter") - before))
expect "answer" "$answer" "big.eml: SMFIR_CONTINUE verdict-header score-header"
score=$("$TESSEL" -t stop.txt -p model/p.bin -u model/u.bin -f -d docs/ru_leak.txt --format=json | grep -o '"score":[0-9.]*')
grep -q "\"outcome\":\"judged\",\"verdict\":true,$score," requests.log || fail "log: $(cat requests.log), the tool's $score"
((grown < 30000)) || fail "the milter grew by $grown KiB for a message of 40 MiB"
