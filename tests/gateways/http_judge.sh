# tessel-serve judges posted documents as the tool does, and refuses what it
# must: a body over the limit, a malformed request, a missing token, a
# listening address off loopback without one. A multipart/form-data body has
# every file part judged, the answer an array of their records in order; a
# form without a file part, or one malformed or cut short, gets 400 and a
# message; the limit covers the whole body.
source "$(dirname "$0")/lib.sh"
serve "max_body = 4096"

expect "leak" "$(post docs/ru_leak.txt -H 'X-Request-Id: leak-1')" \
  '200 {"type":"document","version":1,"path":"leak-1","mode":"shingle","verdict":true,"score":68.18181818181819,"protected":15,"unprotected":0,"common":0,"distinct":22,"threshold":2.2,"scaled":true,"generation":1}'
expect "clean" "$(query=?name=weekly.txt post docs/weekly_update.txt)" '200 *"path":"weekly.txt"*"verdict":false*'
same_as_tool "same as the tool" docs/weekly_update.txt
head -c 5000 /dev/zero | tr '\0' 'a' >big
expect "over the limit" "$(post big)" '413 {"error":"the body is over the limit of 4096 bytes"}'
expect "malformed" "$(raw 'NOT A REQUEST\r\n\r\n')" 'HTTP/1.1 400*'
expect "bad chunk" "$(raw "POST /v1/judge HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n")" "HTTP/1.1 400*"

expect "health" "$(curl -s -m 5 "http://127.0.0.1:$port/healthz")" ok
metrics=$(curl -s -m 5 "http://127.0.0.1:$port/metrics")
grep -qx 'tessel_verdicts_total{verdict="protected"} 1' <<<"$metrics" || fail "metrics: $metrics"
grep -qx 'tessel_requests_total{outcome="too_large"} 1' <<<"$metrics" || fail "metrics: $metrics"
grep -qx 'tessel_request_seconds_count [0-9]*' <<<"$metrics" || fail "metrics: $metrics"
# One line per request, and never the document's text.
logged '"id":"leak-1","size":210,"outcome":"judged","verdict":true'
! grep -qi 'merger' requests.log || fail "the log holds the text"

form() { curl -s -m 10 -o body -w '%{http_code}' "$@" "http://127.0.0.1:$port/v1/judge"; echo " $(cat body)"; }

expect "two files and a field" "$(form -H 'X-Request-Id: f' -F note=hi -F a=@docs/ru_leak.txt -F 'b=@docs/weekly_update.txt;filename=w.txt')" \
  '200 \[{"type":"document","version":1,"path":"ru_leak.txt","mode":"shingle","verdict":true,"score":68.18181818181819,"protected":15,"unprotected":0,"common":0,"distinct":22,"threshold":2.2,"scaled":true,"generation":1},{"type":"document","version":1,"path":"w.txt","mode":"shingle","verdict":false,"score":0.0,"protected":0,"unprotected":9,"common":0,"distinct":31,"threshold":3.1,"scaled":true,"generation":1}]'
logged '"id":"f/1","size":210,"outcome":"judged","verdict":true'
logged '"id":"f/2","size":272,"outcome":"judged","verdict":false'
expect "no file part" "$(form -F note=hi)" '400 {"error":"the form holds no file part"}'
malformed() {  # malformed CONTENT-TYPE BODY
  form -H "Content-Type: $1" --data-binary "$(printf -- "$2")"
}
expect "no closing boundary" "$(malformed 'multipart/form-data; boundary=XX' '--XX\r\nContent-Disposition: form-data; name="a"; filename="f"\r\n\r\nsome text')" \
  '400 {"error":"the multipart body is malformed or incomplete"}'
expect "no boundary" "$(malformed 'multipart/form-data' '--XX\r\n\r\n')" '400 {"error":"the multipart body is malformed or incomplete"}'
expect "a part without headers" "$(malformed 'multipart/form-data; boundary=XX' '--XX\r\nnot a header\r\n\r\nx\r\n--XX--\r\n')" \
  '400 {"error":"the multipart body is malformed or incomplete"}'
head -c 3000 /dev/zero | tr '\0' 'a' >half
expect "the limit covers all parts" "$(form -F a=@half -F b=@half)" '413 {"error":"the body is over the limit of 4096 bytes"}'
expect "still serving" "$(form -F a=@docs/ru_leak.txt | cut -c1-4)" '200 '

head -c 24 /dev/urandom | base64 >token
serve_again "token_file = $work/token"
expect "no token" "$(post docs/ru_leak.txt)" '401 {"error":"unauthorized"}'
expect "token" "$(post docs/ru_leak.txt -H "Authorization: Bearer $(cat token)")" '200 *"verdict":true*'
expect "metrics need it" "$(curl -s -m 5 -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/metrics")" 401
kill -TERM "$server"

write_config open.conf "listen = 0.0.0.0:0"
expect "off loopback" "$(refused open.conf)" "2 tessel-serve: listening on 0.0.0.0 needs a token_file (bearer authentication)"
printf 'model = %s\nmax_bodies = 5\n' "$work/model" >typo.conf
expect "unknown key" "$(refused typo.conf)" "2 tessel-serve: typo.conf: line 2: unknown setting \"max_bodies\""
printf 'model = %s\nmax_in_flight = 0\n' "$work/model" >zero.conf
expect "refused value" "$(refused zero.conf)" "2 tessel-serve: zero.conf: line 2: refused value \"0\" for max_in_flight"
printf 'model = %s/missing\n' "$work" >missing.conf
expect "no model" "$(refused missing.conf)" '1 *'
