# Clients that misbehave cost one request, not the server: one that sends a
# byte a second gets 408 after the read timeout, one that hangs up mid-body
# is logged. SIGTERM stops accepting, answers the request in flight, exits 0.
source "$(dirname "$0")/lib.sh"
serve "read_timeout = 1"

exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'POST /v1/judge HTTP/1.1\r\nHost: x\r\nContent-Length: 20\r\n\r\n' >&3
(for c in a b c d; do printf "$c " >&3 || exit 0; sleep 0.5; done) &
slow=$!
pids+=("$slow")
expect "a byte at a time" "$(timeout 8 head -1 <&3 | tr -d '\r')" 'HTTP/1.1 408*'
exec 3<&-
wait "$slow" || true

exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'POST /v1/judge HTTP/1.1\r\nHost: x\r\nContent-Length: 1000\r\n\r\nsome words' >&3
exec 3<&-
wait_log '"outcome":"bad_request","error":"the body could not be read"'
expect "still serving" "$(post docs/ru_leak.txt | cut -c1-3)" 200

# Half a document sent, SIGTERM, the other half: the answer still comes.
exec 3<>"/dev/tcp/127.0.0.1/$port"
size=$(wc -c <docs/ru_leak.txt)
printf 'POST /v1/judge HTTP/1.1\r\nHost: x\r\nContent-Length: %d\r\nConnection: close\r\n\r\n' "$size" >&3
head -c 100 docs/ru_leak.txt >&3
sleep 0.2
kill -TERM "$server"
wait_log '"event":"draining"'
status=0; curl -s -m 2 "http://127.0.0.1:$port/healthz" >/dev/null || status=$?
expect "no new connections" "$status" '[1-9]*'
tail -c +101 docs/ru_leak.txt >&3
answer=$(timeout 5 cat <&3 | tr -d '\r')
exec 3<&-
expect "in flight answered" "$(head -1 <<<"$answer")" 'HTTP/1.1 200 OK'
expect "its verdict" "$(tail -1 <<<"$answer")" '*"verdict":true*'
wait_exit "$server" 5

# SIGTERM under load: more requests than are judged at once and than there
# are workers, some waiting in accepted connections; each is answered, or
# refused a connection once the server stopped accepting, never cut off.
serve_again "max_in_flight = 2"
for _ in $(seq 400); do cat docs/*.txt; done >big
clients=()
for i in $(seq 24); do
  (rc=0; code=$(curl -s -m 20 -o /dev/null -w '%{http_code}' --data-binary @big "http://127.0.0.1:$port/v1/judge") || rc=$?
   echo "$rc $code" >"result.$i") &
  clients+=($!)
done
wait_log '"outcome":"judged"' 4
kill -TERM "$server"
for client in "${clients[@]}"; do wait "$client" || true; done
wait_exit "$server" 20
expect "answered or refused" "$(cat result.* | grep -v -x -e '0 200' -e '7 000' || true)" ''
answered=$(cat result.* | grep -c -x '0 200' || true)
(( answered > 4 )) || fail "only the $answered requests judged before SIGTERM were answered"
