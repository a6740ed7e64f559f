# tessel-serve judges a body of 64 MiB as it arrives, posted whole or as a
# form's file part: the server's memory grows by far less than the body, and
# the verdict is the tool's. It takes many clients that connect at once (the
# library's own backlog of five reset some of them), keeps a connection alive
# for more than the library's default of five requests, and answers the
# connections waiting to be accepted when it stops.
source "$(dirname "$0")/lib.sh"
serve "max_in_flight = 4" "max_body = 300000000" "read_timeout = 60" "judge_timeout = 60"
big_body big 64
before=$(peak_kb "$server")
answer=$(curl -s -m 60 -T big -X POST "http://127.0.0.1:$port/v1/judge?name=big")
form=$(curl -s -m 60 -F a=@big "http://127.0.0.1:$port/v1/judge")
grown=$(($(peak_kb "$server") - before))
expect "same as the tool" "$(sed 's/,"generation":1//' <<<"$answer")" "$(tool_json big)"
form=${form#\[}
expect "a form's part" "${form%\]}" "$answer"
sanitized || ((grown < 30000)) || fail "the server grew by $grown KiB for a body of 64 MiB"

crowd() {  # crowd CLIENTS: the answers' status codes, counted, of clients that connect together
  python3 - "$port" "$1" body <<'PY'
import socket, sys, threading
port, clients, body = int(sys.argv[1]), int(sys.argv[2]), open(sys.argv[3], "rb").read()
start, answers = threading.Barrier(clients), []
def client():
    start.wait()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
            s.sendall(b"POST /v1/judge HTTP/1.1\r\nHost: x\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
            answers.append(s.makefile("rb").readline().split(b" ")[1].decode())
    except OSError as error:
        answers.append(type(error).__name__)
threads = [threading.Thread(target=client) for _ in range(clients)]
for thread in threads: thread.start()
for thread in threads: thread.join()
print(" ".join(f"{answers.count(a)} {a}" for a in sorted(set(answers))))
PY
}
# The clients connect while the server is stopped, as a busy one accepts
# late, and send bodies of 64 KB.
for _ in $(seq 300); do cat docs/weekly_update.txt; done >body
truncate -s 65536 body
kill -STOP "$server"
crowd 100 >answers &
sleep 1
kill -CONT "$server"
wait $!
expect "crowd" "$(cat answers)" "100 200"

urls=()
for _ in $(seq 8); do urls+=(-o /dev/null "http://127.0.0.1:$port/v1/judge"); done
expect "connections" "$(curl -s -m 20 -w '%{num_connects}' --data-binary @docs/weekly_update.txt "${urls[@]}")" 10000000

# Clients that connected before SIGTERM but were not yet accepted are
# answered, not reset.
kill -STOP "$server"
crowd 30 >answers &
sleep 1
kill -TERM "$server"
kill -CONT "$server"
wait $!
expect "drained" "$(cat answers)" "30 200"
wait_exit "$server" 10
