#!/usr/bin/env python3
"""Posts documents to tessel-serve from concurrent clients and reports.

Usage: gateways_load.py PORT CLIENTS SERVER_PID DOCUMENT...

Each client keeps one connection and posts the next document not yet
taken. Prints the requests, the failures (any answer but 200), the
throughput, the latency percentiles and the server's resident memory,
sampled once a second, after a quarter, a half and all of the run.
"""
import http.client
import sys
import threading
import time

port, clients, pid = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
documents = sys.argv[4:]
lock = threading.Lock()
next_index = 0
latencies, failures = [], []


def rss_kib():
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def client():
    global next_index
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    while True:
        with lock:
            if next_index >= len(documents):
                break
            path = documents[next_index]
            next_index += 1
        body = open(path, "rb").read()
        start = time.perf_counter()
        try:
            connection.request("POST", "/v1/judge", body)
            answer = connection.getresponse()
            answer.read()
            status = answer.status
        except (OSError, http.client.HTTPException) as error:
            status = str(error)
            connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
        elapsed = time.perf_counter() - start
        with lock:
            latencies.append(elapsed)
            if status != 200:
                failures.append((path, status))


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
seconds = time.perf_counter() - start
megabytes = sum(len(open(path, "rb").read()) for path in documents) / 1e6
latencies.sort()


def percentile(p):
    return latencies[min(len(latencies) - 1, int(p * len(latencies)))] * 1000


def rss_at(fraction):
    return next((kib for done, kib in memory if done >= fraction), memory[-1][1] if memory else 0) // 1024


print(f"requests {len(latencies)}, failed {len(failures)}")
print(f"seconds {seconds:.2f}, documents/s {len(latencies) / seconds:.0f}, MB/s {megabytes / seconds:.1f}")
print(f"latency ms: p50 {percentile(0.5):.1f}, p90 {percentile(0.9):.1f}, p99 {percentile(0.99):.1f}")
print(f"server RSS MiB at 25% {rss_at(0.25)}, 50% {rss_at(0.5)}, end {rss_at(1.0)}")
for path, status in failures[:5]:
    print(f"failed: {path}: {status}")
sys.exit(1 if failures else 0)
