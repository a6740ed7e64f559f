#!/usr/bin/env python3
"""Cuts documents to judge from a corpus that make_corpus.py wrote.

Usage: make_documents.py CORPUS_DIR COUNT LEARN_FILES

The first LEARN_FILES files of CORPUS_DIR/protected and of
CORPUS_DIR/unprotected become the learning files, moved to
CORPUS_DIR/learn/{protected,unprotected}; the rest of both sides is held out,
cut into COUNT documents (CORPUS_DIR/docs/NNNNN.txt) and removed. Documents
are consecutive runs of held-out text, so no two share a passage; each is 1
to 100 KB (log-uniform, so most are short), cut at spaces. One in seven gets
a passage of 0.2 to 2 KB of protected learning text, put in at a space.
"""
import math
import os
import random
import shutil
import sys

corpus, count, learn_files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(23)


def side(name):
    directory = os.path.join(corpus, name)
    return [os.path.join(directory, f) for f in sorted(os.listdir(directory))]


def read_all(paths):
    return b"".join(open(path, "rb").read() for path in paths)


def run_at(text, start, size):
    """About size bytes of text from start, ending before a space."""
    end = text.rfind(b" ", start, start + size)
    return text[start:end if end > start else start + size]


protected, unprotected = side("protected"), side("unprotected")
protected_text = read_all(protected[:learn_files])
held_out = read_all(protected[learn_files:] + unprotected[learn_files:])
os.makedirs(os.path.join(corpus, "docs"), exist_ok=True)
position = 0
for i in range(count):
    size = int(math.exp(rng.uniform(math.log(1024), math.log(100 * 1024))))
    if position + size > len(held_out):
        sys.exit("make_documents.py: held-out text ran out after %d documents" % i)
    text = run_at(held_out, position, size)
    position += len(text) + 1
    if rng.randrange(7) == 0:
        start = rng.randrange(0, len(protected_text) - 4096)
        passage = run_at(protected_text, protected_text.find(b" ", start) + 1,
                         rng.randrange(200, 2048))
        at = text.find(b" ", rng.randrange(0, len(text))) + 1
        text = text[:at] + passage + b" " + text[at:]
    with open(os.path.join(corpus, "docs", "%05d.txt" % i), "wb") as out:
        out.write(text + b"\n")
for name, files in (("protected", protected), ("unprotected", unprotected)):
    learn = os.path.join(corpus, "learn", name)
    os.makedirs(learn, exist_ok=True)
    for path in files[:learn_files]:
        shutil.move(path, learn)
    shutil.rmtree(os.path.join(corpus, name))
