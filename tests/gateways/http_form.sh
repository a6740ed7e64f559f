# A multipart/form-data body: every file part is judged, the answer is an
# array of their records in order; a form without a file part, or one that
# is malformed or cut short, gets 400 and a message; the limit covers the
# whole body.
source "$(dirname "$0")/lib.sh"
serve "max_body = 4096"
url="http://127.0.0.1:$port/v1/judge"
form() { curl -s -m 10 -o body -w '%{http_code}' "$@" "$url"; echo " $(cat body)"; }

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
