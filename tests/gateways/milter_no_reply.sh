# tessel-milter with an MTA that offers to go without replies (as Postfix
# does): the envelope, headers and body of two messages are sent at once,
# and the only answers are each message's end: the headers added to the
# leak and its final reply, nothing for the steps the MTA does not read.
# Then with an MTA that offers nothing of the kind: a reply to every step.
source "$(dirname "$0")/lib.sh"
need_milter
train model
start_milter requests "action = headers" "max_threshold = 12" "size_threshold = 1"
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.05; done
cat >client.py <<'PY'
import socket, struct, sys
port, offered, leak, clean = int(sys.argv[1]), int(sys.argv[2], 16), sys.argv[3], sys.argv[4]
sock = socket.create_connection(("127.0.0.1", port), timeout=10)
def command(letter, data=b""):
    return struct.pack(">I", len(data) + 1) + letter + data
replies = sock.makefile("rb")
def reply():  # the letter of the milter's next reply
    size = replies.read(4)
    if len(size) < 4:
        raise SystemExit("closed")
    return replies.read(struct.unpack(">I", size)[0])[:1].decode()
sock.sendall(command(b"O", struct.pack(">III", 6, 0x1FF, offered)))
reply()
sent = command(b"C", b"localhost\0" + b"4" + struct.pack(">H", 25) + b"127.0.0.1\0")
for path in (leak, clean):
    sent += command(b"M", b"<a@example.test>\0")
    sent += command(b"L", b"Content-Type\0text/plain; charset=windows-1251\0") + command(b"N")
    sent += command(b"B", open(path, "rb").read()) + command(b"E")
sock.sendall(sent)
answers = []
try:
    while True:  # until the milter has nothing more to say
        answers.append(reply())
        sock.settimeout(0.5)
except socket.timeout:
    pass
print("".join(answers))
PY
# c: continue, h: a header added.
expect "without replies" "$(python3 client.py "$port" 0xFFFFF docs/ru_leak.txt docs/weekly_update.txt)" "hhcc"
expect "with replies" "$(python3 client.py "$port" 0 docs/ru_leak.txt docs/weekly_update.txt)" "ccccchhcccccc"
stop "$milter"
