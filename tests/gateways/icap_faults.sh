# The ICAP service under clients that misbehave, in Debian's c-icap: a
# malformed ICAP request, a client that hangs up in the middle of a body and
# one that stops sending cost their own request only; a model directory
# removed while serving is logged on reconfiguration and the old model
# serves on.
source "$(dirname "$0")/lib.sh"
need_icap
icap_timeout=2 serve_icap block
trap '' PIPE  # c-icap may close before a malformed request is all sent

leak_status() {  # the status line of c-icap-client's answer to the leak, and the blocking line
  icap_send docs/ru_leak.txt -o out -v 2>&1 | grep -o 'ICAP/1.0 [0-9]*' | head -1
  grep -c Blocked out 2>/dev/null || true; rm -f out
}
serving() { expect "serving after $1" "$(leak_status | tr '\n' ' ')" 'ICAP/1.0 200 1 '; }
head_of() {  # the ICAP and HTTP headers of a RESPMOD of a body of $1 bytes
  local http="HTTP/1.1 200 OK\r\nContent-Length: $1\r\n\r\n"
  printf "RESPMOD icap://127.0.0.1:$port/tessel ICAP/1.0\r\nHost: 127.0.0.1\r\nAllow: 204\r\n"
  printf "Encapsulated: res-hdr=0, res-body=%d\r\n\r\n$http" "$(printf "$http" | wc -c)"
}

expect "malformed request" "$(raw 'NOT AN ICAP REQUEST\r\n\r\n')" 'ICAP/1.0 400*'
expect "unknown service" "$(raw "RESPMOD icap://127.0.0.1:$port/nothing ICAP/1.0\r\nHost: x\r\nEncapsulated: null-body=0\r\n\r\n")" 'ICAP/1.0 404*'
start=$SECONDS
answer=$(raw "$(head_of 5)zz\r\nhello\r\n0\r\n\r\n" 8)
(( SECONDS - start <= 4 )) || fail "a malformed chunk was waited on: '$answer'"
serving "malformed requests"

# Half a body, then the client hangs up.
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf "$(head_of 1000)3e8\r\nsome words" >&3 || true
exec 3<&-
serving "a hang-up mid-body"

# Half a body, then nothing: c-icap drops the connection after its Timeout.
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf "$(head_of 1000)3e8\r\nsome words" >&3 || true
start=$SECONDS
timeout 10 cat <&3 >/dev/null || true
exec 3<&-
(( SECONDS - start <= 6 )) || fail "a stalled client held its connection $((SECONDS - start)) s"
serving "a stalled client"

rm -rf model
kill -HUP "$(cat c-icap.pid)"
wait_log '"event":"reload_failed"'
sleep 0.5
serving "the model directory removed"
