#!/usr/bin/env python3
"""Writes a training corpus of varied Windows-1251 and ASCII prose.

Usage: make_corpus.py DIR MEGABYTES [FILE_KB]

DIR/protected and DIR/unprotected each receive half of MEGABYTES in files of
FILE_KB kilobytes (default 256). Words come from a large vocabulary (300,000
words, Cyrillic and Latin) with a Zipf-like frequency, so that short word runs
recur across files as in real prose while long shingles are mostly distinct.
"""
import itertools
import os
import random
import sys

directory, megabytes = sys.argv[1], int(sys.argv[2])
file_bytes = (int(sys.argv[3]) if len(sys.argv) > 3 else 256) * 1024
rng = random.Random(11)


def word():
    length = rng.randrange(2, 12)
    if rng.random() < 0.8:
        return bytes(rng.randrange(0xE0, 0x100) for _ in range(length))
    return bytes(rng.randrange(0x61, 0x7B) for _ in range(length))


vocabulary = [word() for _ in range(300000)]
cumulative = list(itertools.accumulate(1.0 / (rank + 1) for rank in range(len(vocabulary))))
separators = [b" "] * 14 + [b", ", b".\r\n", b"; ", b" - ", b"\n"]


def prose(size):
    words = rng.choices(vocabulary, cum_weights=cumulative, k=size // 7 + 16)
    marks = rng.choices(separators, k=len(words))
    text = b"".join(itertools.chain.from_iterable(zip(words, marks)))
    return text[:size] + b"\n"


files_per_side = max(1, megabytes * 1024 * 1024 // file_bytes // 2)
for side in ("protected", "unprotected"):
    os.makedirs(os.path.join(directory, side), exist_ok=True)
    for i in range(files_per_side):
        with open(os.path.join(directory, side, "%06d.txt" % i), "wb") as out:
            out.write(prose(file_bytes))
