#!/usr/bin/env python3
"""Writes a training corpus of varied Windows-1251 and ASCII prose.

Usage: make_corpus.py DIR MEGABYTES [FILE_KB] [--files N] [--zipf S]
                      [--vocabulary N]

DIR/protected and DIR/unprotected each receive half of MEGABYTES in files of
FILE_KB kilobytes (default 256), or in N files in all (half on each side)
with --files, each then of MEGABYTES / N. Words come from a vocabulary
(default 300,000 words, Cyrillic and Latin) whose rank r is drawn with weight
1 / r^S (default S = 1: Zipf's law), so that short word runs recur across
files as in real prose while long shingles are mostly distinct. A larger S
repeats the common words more often.
"""
import argparse
import itertools
import os
import random

parser = argparse.ArgumentParser()
parser.add_argument("directory")
parser.add_argument("megabytes", type=int)
parser.add_argument("file_kb", type=int, nargs="?", default=256)
parser.add_argument("--files", type=int, default=0)
parser.add_argument("--zipf", type=float, default=1.0)
parser.add_argument("--vocabulary", type=int, default=300000)
arguments = parser.parse_args()
directory, megabytes = arguments.directory, arguments.megabytes
if arguments.files > 0:
    files_per_side = max(1, arguments.files // 2)
    file_bytes = megabytes * 1024 * 1024 // (2 * files_per_side)
else:
    file_bytes = arguments.file_kb * 1024
    files_per_side = max(1, megabytes * 1024 * 1024 // file_bytes // 2)
rng = random.Random(11)


def word():
    length = rng.randrange(2, 12)
    if rng.random() < 0.8:
        return bytes(rng.randrange(0xE0, 0x100) for _ in range(length))
    return bytes(rng.randrange(0x61, 0x7B) for _ in range(length))


vocabulary = [word() for _ in range(arguments.vocabulary)]
cumulative = list(
    itertools.accumulate(1.0 / (rank + 1) ** arguments.zipf for rank in range(len(vocabulary))))
separators = [b" "] * 14 + [b", ", b".\r\n", b"; ", b" - ", b"\n"]


def prose(size):
    words = rng.choices(vocabulary, cum_weights=cumulative, k=size // 7 + 16)
    marks = rng.choices(separators, k=len(words))
    text = b"".join(itertools.chain.from_iterable(zip(words, marks)))
    return text[:size] + b"\n"


for side in ("protected", "unprotected"):
    os.makedirs(os.path.join(directory, side), exist_ok=True)
    for i in range(files_per_side):
        with open(os.path.join(directory, side, "%06d.txt" % i), "wb") as out:
            out.write(prose(file_bytes))
