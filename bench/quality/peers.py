"""The peers judged on the benchmark's store besides tessel.

Each function takes the benchmark (a Bench of paths) and returns
{store path: score}, higher meaning more like the protected set. Debian's
tools are run on UTF-8 copies of the texts (utf8_copies), which sim_text
needs for Cyrillic words; the two baselines written here read the same
copies.
"""

import hashlib
import os
import re
import subprocess
import zlib

WORD = re.compile(r"[^\W\d_]+")


def decode(data):
    """Text of a document, each line read as UTF-8 when it is valid, else as Windows-1251."""
    out = []
    for line in data.split(b"\n"):
        try:
            out.append(line.decode("utf-8"))
        except UnicodeDecodeError:
            out.append(line.decode("cp1251", "replace"))
    return "\n".join(out)


def utf8_copies(data_dir, rels, dest):
    for rel in rels:
        target = os.path.join(dest, rel)
        if os.path.exists(target):
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(os.path.join(data_dir, rel), "rb") as f:
            text = decode(f.read())
        with open(target, "w", encoding="utf-8") as f:
            f.write(text)


def read(dest, rel):
    with open(os.path.join(dest, rel), encoding="utf-8") as f:
        return f.read()


def sim_text(b):
    """Largest number of words in runs that sim_text finds shared with one protected file.

    -S compares the store with the protected files only; the runs (not -p,
    whose percentages of a whole document hide a passage in a long one) are
    summed per protected file.
    """
    cmd = ["sim_text", "-S", "-n"] + b.store + ["/"] + b.protected
    r = subprocess.run(cmd, cwd=b.utf8, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                       text=True, errors="replace", check=True)
    shared = {}
    for m in re.finditer(r"^(\S+): line \d+-\d+\s*\|(\S+): line \d+-\d+\[(\d+)\]$",
                         r.stdout, re.M):
        key = (m.group(1), m.group(2))
        shared[key] = shared.get(key, 0) + int(m.group(3))
    scores = dict.fromkeys(b.store, 0.0)
    for (doc, _), n in shared.items():
        if doc in scores:
            scores[doc] = max(scores[doc], float(n))
    return scores


def ssdeep(b):
    """Largest ssdeep match score (0-100) with a protected file."""
    hashes = os.path.join(b.work, "protected.ssdeep")
    with open(hashes, "w") as f:
        subprocess.run(["ssdeep", "-s", "-l"] + b.protected, cwd=b.utf8, stdout=f, check=True)
    r = subprocess.run(["ssdeep", "-s", "-l", "-m", hashes] + b.store, cwd=b.utf8,
                       stdout=subprocess.PIPE, text=True, errors="replace")
    scores = dict.fromkeys(b.store, 0.0)
    for m in re.finditer(r"^(\S+) matches .*\((\d+)\)$", r.stdout, re.M):
        if m.group(1) in scores:
            scores[m.group(1)] = max(scores[m.group(1)], float(m.group(2)))
    return scores


def tlsh(b):
    """Minus the smallest TLSH distance to a protected file (texts too short for a digest: none)."""
    def digests(folder):
        r = subprocess.run(["tlsh", "-r", folder], cwd=b.utf8, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True)
        lines = (line.split("\t") for line in r.stdout.splitlines())
        return sorted((f[0], f[1]) for f in lines
                      if len(f) == 2 and re.fullmatch(r"[0-9A-F]{70,}", f[0]))
    listing = os.path.join(b.work, "store.tlsh")
    with open(listing, "w") as f:
        f.writelines(f"{d}\t{rel}\n" for d, rel in digests("store"))
    scores = dict.fromkeys(b.store, float("-inf"))
    for d, _ in digests("protected"):
        r = subprocess.run(["tlsh", "-c", d, "-l", listing], cwd=b.utf8,
                           stdout=subprocess.PIPE, text=True)
        for line in r.stdout.splitlines():
            f = line.split("\t")
            if len(f) == 3 and f[1] in scores:
                scores[f[1]] = max(scores[f[1]], -float(f[2]))
    return scores


def shingles(text, n=5):
    words = WORD.findall(text.lower())
    return {hash64(" ".join(words[i:i + n])) for i in range(len(words) - n + 1)}


def hash64(s):
    return int.from_bytes(hashlib.blake2b(s.encode(), digest_size=8).digest(), "little")


def minhash(b, k=128):
    """Largest Jaccard resemblance with a protected file, estimated from bottom-k sketches of word 5-shingles."""
    def sketch(rel):
        return sorted(shingles(read(b.utf8, rel)))[:k]
    prot = [(set(s), s) for s in map(sketch, b.protected) if s]
    scores = {}
    for rel in b.store:
        s = sketch(rel)
        ss, best = set(s), 0.0
        for ps, pl in prot:
            if ss.isdisjoint(ps):
                continue
            union = sorted(ss | ps)[:k]
            best = max(best, sum(1 for h in union if h in ss and h in ps) / len(union))
        scores[rel] = best
    return scores


def fingerprints(text, k=30, w=20):
    """Winnowing: the minimum hash of every window of w character k-grams (letters and digits, case folded)."""
    s = re.sub(r"[\W_]+", "", text.lower()).encode("cp1251", "replace")
    hashes = [zlib.crc32(s[i:i + k]) for i in range(len(s) - k + 1)]
    if len(hashes) <= w:
        return {min(hashes)} if hashes else set()
    out, window = set(), []           # window: indices with increasing hashes
    for i, h in enumerate(hashes):
        while window and hashes[window[-1]] >= h:
            window.pop()
        window.append(i)
        if window[0] <= i - w:
            window.pop(0)
        if i >= w - 1:
            out.add(hashes[window[0]])
    return out


def winnowing(b):
    """Largest number of a document's fingerprints held by one protected file and by no unprotected one."""
    common = set()
    for rel in b.unprotected:
        common |= fingerprints(read(b.utf8, rel))
    owners = {}
    for i, rel in enumerate(b.protected):
        for fp in fingerprints(read(b.utf8, rel)) - common:
            owners.setdefault(fp, []).append(i)
    scores = {}
    for rel in b.store:
        counts = {}
        for fp in fingerprints(read(b.utf8, rel)):
            for i in owners.get(fp, ()):
                counts[i] = counts.get(i, 0) + 1
        scores[rel] = float(max(counts.values(), default=0))
    return scores


def tessel_words(text, fold):
    """Words as tessel cuts them: runs of ASCII or Cyrillic letters, Cyrillic upper-cased (-c: all)."""
    ws = re.findall(r"[A-Za-z]+|[\u0410-\u044f]+", text)
    return [w.upper() for w in ws] if fold else [w if w.isascii() else w.upper() for w in ws]


def shingle_keys(ws, n=5):
    return [" ".join(ws[i:i + n]) for i in range(len(ws) - n + 1)]


def chain(b, gap=6, fold=True):
    """Prototype of a graded score: the longest chain of protected-only 5-word shingles from one
    protected file, consecutive ones at most gap positions apart (case folded as with -c)."""
    common = set()
    for rel in b.unprotected:
        common.update(shingle_keys(tessel_words(read(b.utf8, rel), fold)))
    owners = {}
    for i, rel in enumerate(b.protected):
        for k in set(shingle_keys(tessel_words(read(b.utf8, rel), fold))) - common:
            owners.setdefault(k, []).append(i)
    scores = {}
    for rel in b.store:
        last, length, best = {}, {}, 0
        for pos, k in enumerate(shingle_keys(tessel_words(read(b.utf8, rel), fold))):
            for i in owners.get(k, ()):
                length[i] = length[i] + 1 if pos - last.get(i, -gap - 1) <= gap else 1
                last[i] = pos
                best = max(best, length[i])
        scores[rel] = float(best)
    return scores


PEERS = {"sim_text": (sim_text, "sim_text"), "ssdeep": (ssdeep, "ssdeep"), "tlsh": (tlsh, "tlsh"),
         "minhash": (minhash, None), "winnowing": (winnowing, None), "chain": (chain, None)}
