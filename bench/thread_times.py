#!/usr/bin/env python3
"""Runs a command and prints the processor time of its main thread and of
all its other threads, read from /proc every 10 ms (a thread that ends
between two reads loses at most that much).

Usage: thread_times.py COMMAND [ARG...]
Prints: main SECONDS others SECONDS wall SECONDS

What only the main thread does cannot run on more processors, so
main / (main + others) bounds the serial fraction of Amdahl's law from above
(the main thread's work also overlaps the others').
"""
import os
import subprocess
import sys
import time

ticks = os.sysconf("SC_CLK_TCK")
start = time.monotonic()
child = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
seen = {}
while child.poll() is None:
    try:
        for tid in os.listdir("/proc/%d/task" % child.pid):
            with open("/proc/%d/task/%s/stat" % (child.pid, tid)) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            seen[int(tid)] = (int(fields[11]) + int(fields[12])) / ticks
    except (FileNotFoundError, ProcessLookupError):
        pass
    time.sleep(0.01)
wall = time.monotonic() - start
main = seen.pop(child.pid, 0.0)
print("main %.2f others %.2f wall %.2f" % (main, sum(seen.values()), wall))
