#!/usr/bin/env python3
"""Sends documents to a gateway from concurrent clients and reports.

Usage: gateways_load.py FRONT PORT CLIENTS SERVER_PID DOCUMENT...

FRONT is http (POST /v1/judge to tessel-serve), icap (RESPMOD to the
tessel service of c-icap, the body in an HTTP response, 204 allowed, no
preview) or milter (a message with the document as its text/plain body to
tessel-milter, over the milter protocol as an MTA speaks it). Each client
keeps one connection and sends the next document not yet taken. Prints the
requests, the failures (no answer, or an answer but a judged one: HTTP 200,
ICAP 200 or 204, a milter's final reply), the throughput, the latency
percentiles and the server's resident memory (with its child processes),
sampled once a second, after a quarter, a half and all of the run.
"""
import http.client
import os
import socket
import struct
import sys
import threading
import time

front, port, clients, pid = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
documents = sys.argv[5:]
lock = threading.Lock()
next_index = 0
latencies, failures, finished = [], [], []


def connect():
    # Commands that get no reply (a milter's macros and abort) are followed
    # by one that does: without TCP_NODELAY, Nagle's algorithm would hold the
    # second until the first's delayed acknowledgement.
    sock = socket.create_connection(("127.0.0.1", port), timeout=60)
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return sock


def processes(root):
    """The process and its descendants (c-icap judges in its children)."""
    found, queue = [], [root]
    while queue:
        current = queue.pop()
        found.append(current)
        try:
            for task in os.listdir(f"/proc/{current}/task"):
                with open(f"/proc/{current}/task/{task}/children") as children:
                    queue.extend(children.read().split())
        except OSError:
            pass
    return found


def rss_kib():
    total = 0
    for process in processes(pid):
        try:
            with open(f"/proc/{process}/status") as status:
                for line in status:
                    if line.startswith("VmRSS:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


class HttpClient:
    def __init__(self):
        self.connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)

    def send(self, body, name):
        self.connection.request("POST", "/v1/judge", body, {"X-Request-Id": name})
        answer = self.connection.getresponse()
        answer.read()
        return "ok" if answer.status == 200 else f"HTTP {answer.status}"


class Reader:
    """Buffered reads from a socket."""

    def __init__(self, sock):
        self.sock, self.buffer = sock, b""

    def fill(self):
        data = self.sock.recv(65536)
        if not data:
            raise ConnectionError("connection closed")
        self.buffer += data

    def until(self, marker):
        while marker not in self.buffer:
            self.fill()
        end = self.buffer.index(marker) + len(marker)
        data, self.buffer = self.buffer[:end], self.buffer[end:]
        return data

    def exactly(self, count):
        while len(self.buffer) < count:
            self.fill()
        data, self.buffer = self.buffer[:count], self.buffer[count:]
        return data


class IcapClient:
    def __init__(self):
        self.sock = connect()
        self.reader = Reader(self.sock)

    def send(self, body, name):
        http_head = (b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: "
                     + str(len(body)).encode() + b"\r\n\r\n")
        request = (f"RESPMOD icap://127.0.0.1:{port}/tessel ICAP/1.0\r\nHost: 127.0.0.1\r\n"
                   f"Allow: 204\r\nX-Client-Id: {name}\r\n"
                   f"Encapsulated: res-hdr=0, res-body={len(http_head)}\r\n\r\n").encode()
        self.sock.sendall(request + http_head + b"%x\r\n" % len(body) + body + b"\r\n0\r\n\r\n")
        head = self.reader.until(b"\r\n\r\n").decode("latin-1")
        status = head.split(" ", 2)[1]
        headers = {line.split(":", 1)[0].lower(): line.split(":", 1)[1].strip()
                   for line in head.split("\r\n")[1:] if ":" in line}
        parts = dict(part.strip().split("=") for part in headers.get("encapsulated", "null-body=0").split(","))
        if "res-body" in parts or "req-body" in parts:
            self.reader.exactly(int(parts.get("res-body", parts.get("req-body"))))
            while True:
                size = int(self.reader.until(b"\r\n").split(b";")[0], 16)
                self.reader.exactly(size + 2)
                if size == 0:
                    break
        elif "null-body" in parts:
            self.reader.exactly(int(parts["null-body"]))
        if status not in ("200", "204"):
            return f"ICAP {status}"
        verdict = headers.get("x-tessel-verdict", "")
        return "ok" if verdict in ("clean", "protected") else f"ICAP {status} verdict {verdict!r}"


# The milter protocol (version 6): commands and replies are a 4-byte length,
# a command letter and its data. The MTA offers, as Postfix does, to skip
# the steps the milter has no use for and to go without the replies it
# does not need; commands that get no reply are sent together with the next
# one that does.
MILTER_STEPS = 0x7F | 0x100 | 0x200  # the steps an MTA lets a milter skip
NO_REPLY = {b"C": 0x1000, b"H": 0x2000, b"M": 0x4000, b"R": 0x8000, b"L": 0x80, b"N": 0x40000,
            b"B": 0x80000}
FINAL_REPLIES = {b"a": "accept", b"c": "continue", b"r": "reject", b"t": "tempfail",
                 b"d": "discard", b"y": "replycode"}


class MilterClient:
    def __init__(self):
        self.sock = connect()
        self.reader = Reader(self.sock)
        self.pending = []
        offered = MILTER_STEPS | sum(NO_REPLY.values())
        self.command(b"O", struct.pack(">III", 6, 0x1FF, offered))
        self.skips = struct.unpack(">III", self.reply()[1][:12])[2] & offered
        self.step(0x1, b"C", b"localhost\0" + b"4" + struct.pack(">H", 25) + b"127.0.0.1\0")
        self.step(0x2, b"H", b"localhost\0")

    def command(self, letter, data=b"", flush=True):
        self.pending.append(struct.pack(">I", len(data) + 1) + letter + data)
        if flush:
            self.sock.sendall(b"".join(self.pending))
            self.pending = []

    def reply(self):
        length = struct.unpack(">I", self.reader.exactly(4))[0]
        data = self.reader.exactly(length)
        return data[:1], data[1:]

    def step(self, skip_flag, letter, data=b""):
        """Sends a step the milter did not skip; its final reply, or None."""
        if self.skips & skip_flag:
            return None
        if self.skips & NO_REPLY[letter]:
            self.command(letter, data, flush=False)
            return None
        self.command(letter, data)
        letter, _ = self.reply()
        while letter == b"p":  # progress
            letter, _ = self.reply()
        if letter == b"c":
            return None
        return FINAL_REPLIES.get(letter, f"reply {letter!r}")

    def send(self, body, name):
        self.command(b"D", b"M" + b"i\0" + name.encode() + b"\0", flush=False)
        headers = [("From", "a@example.test"), ("To", "b@example.test"), ("Subject", name),
                   ("MIME-Version", "1.0"), ("Content-Type", "text/plain; charset=windows-1251")]
        steps = [(0x4, b"M", b"<a@example.test>\0"), (0x8, b"R", b"<b@example.test>\0")]
        steps += [(0x20, b"L", key.encode() + b"\0" + value.encode() + b"\0") for key, value in headers]
        steps += [(0x40, b"N", b"")]
        steps += [(0x10, b"B", body[i:i + 65535]) for i in range(0, len(body), 65535)]
        final = None
        for flag, letter, data in steps:
            final = self.step(flag, letter, data)
            if final is not None:
                break
        if final is None:
            self.command(b"E")
            while True:
                letter, _ = self.reply()
                if letter in FINAL_REPLIES:
                    final = FINAL_REPLIES[letter]
                    break
        self.command(b"A", flush=False)  # the next message on the same connection
        return "ok" if final in ("accept", "continue", "reject", "discard") else f"milter {final}"


CLIENTS = {"http": HttpClient, "icap": IcapClient, "milter": MilterClient}


def client():
    global next_index
    connection = CLIENTS[front]()
    while True:
        with lock:
            if next_index >= len(documents):
                break
            number, path = next_index, documents[next_index]
            next_index += 1
        body = open(path, "rb").read()
        start = time.perf_counter()
        try:
            outcome = connection.send(body, f"{number}-{os.path.basename(path)}")
        except (OSError, http.client.HTTPException, ValueError, IndexError, struct.error) as error:
            outcome = f"{type(error).__name__}: {error}"
            connection = CLIENTS[front]()
        elapsed = time.perf_counter() - start
        with lock:
            latencies.append(elapsed)
            if outcome != "ok":
                failures.append((path, outcome))
    finished.append(time.perf_counter())


memory = []
threads = [threading.Thread(target=client) for _ in range(clients)]
start = time.perf_counter()
for thread in threads:
    thread.start()
while any(thread.is_alive() for thread in threads):
    memory.append((next_index / len(documents), rss_kib()))
    time.sleep(1)
for thread in threads:
    thread.join()
seconds = max(finished) - start  # the last answer, not the end of the sampling second
megabytes = sum(os.path.getsize(path) for path in documents) / 1e6
latencies.sort()


def percentile(p):
    return latencies[min(len(latencies) - 1, int(p * len(latencies)))] * 1000


def rss_at(fraction):
    return next((kib for done, kib in memory if done >= fraction), memory[-1][1] if memory else 0) // 1024


print(f"{front}: requests {len(latencies)}, failed {len(failures)}")
print(f"seconds {seconds:.2f}, documents/s {len(latencies) / seconds:.0f}, MB/s {megabytes / seconds:.1f}")
print(f"latency ms: p50 {percentile(0.5):.1f}, p90 {percentile(0.9):.1f}, p99 {percentile(0.99):.1f}")
print(f"server RSS MiB at 25% {rss_at(0.25)}, 50% {rss_at(0.5)}, 75% {rss_at(0.75)}, end {rss_at(1.0)}")
for path, outcome in failures[:5]:
    print(f"failed: {path}: {outcome}")
sys.exit(1 if failures else 0)
