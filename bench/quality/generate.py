#!/usr/bin/env python3
"""Build the labelled detection benchmark from texts in Debian packages.

Writes, under OUT (default /tmp/tessel-quality):
  protected/    the protected learning files
  unprotected/  the unprotected learning files
  store/        the documents to judge: negatives and planted positives,
                named s00001.txt ... in an order that says nothing of labels
  protected.list, unprotected.list, store.list   the same files, one a line
  labels.tsv    path, label (pos/neg), edit, family, source protected file
  packages.txt  the Debian packages (and versions) the texts come from
  manifest.txt  seed, sizes and a digest of every file written

Families of the protected set: English man pages (man), Debian and upstream
changelogs (changelog), licences and copyright files (licence) and Russian
man pages in Windows-1251 (ru-man). Ordinary families, never protected:
README/NEWS/text files from /usr/share/doc (readme), the nodes of info
manuals (info) and Russian message catalogues in Windows-1251 (ru-po). Every positive is a protected passage
planted, with one of the edits below, in an ordinary document that is in
neither learning set nor among the negatives.

The same seed and the same installed packages give the same files, byte for
byte (manifest.txt ends with a digest of all of them).
"""

import argparse
import gzip
import hashlib
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import textwrap
import zlib
from concurrent.futures import ThreadPoolExecutor

SEED = 27
EDITS = [
    "verbatim-25", "verbatim-50", "verbatim-100", "verbatim-300", "caps",
    "punctuation", "replace-5th", "replace-10th", "replace-20th", "reordered",
    "drop-10pct", "split", "utf8-document", "utf8-in-cp1251", "near-duplicate",
]
PASSAGE_WORDS = 100        # edits other than the verbatim ones
MAX_WORDS = 4000           # longer texts are cut at a line end
RUSSIAN = {"ru-man", "ru-po"}
MAX_PER_STEM = 2           # documents of one origin (see stem)
LEAK_GRAMS = 4             # sampled protected-only 8-grams that make a document a leak
LEAK_WORDS = 20            # a run of words of one protected text, held by no unprotected one
RUN_GRAM = 5               # the n-grams (of letters and digits) that find such runs

# Documents wanted per family and part, at scale 1.
SIZES = {
    "protected":   {"man": 90, "changelog": 50, "licence": 30, "ru-man": 30},
    "unprotected": {"man": 150, "changelog": 90, "licence": 60, "ru-man": 60,
                    "readme": 120, "info": 60, "ru-po": 60},
    "negative":    {"man": 300, "changelog": 180, "licence": 100, "ru-man": 80,
                    "readme": 200, "info": 160, "ru-po": 80},
    "host":        {"readme": 150, "info": 100, "ru-po": 80},
}
MIN_WORDS = {"protected": 400, "unprotected": 50, "negative": 50, "host": 200}


def words_in(text):
    return len(re.findall(r"[^\W\d_]+", text))


def cut(text, limit=MAX_WORDS):
    lines, count = [], 0
    for line in text.split("\n"):
        count += words_in(line)
        if count > limit:
            break
        lines.append(line)
    return "\n".join(lines).rstrip() + "\n"


def read_maybe_gz(path):
    with open(path, "rb") as f:
        data = f.read()
    if path.endswith(".gz"):
        data = gzip.decompress(data)
    return data


def render_man(path):
    env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80", MAN_KEEP_FORMATTING="")
    env.pop("MANROFFOPT", None)
    r = subprocess.run(["man", "-l", path], env=env, stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL, timeout=60)
    return r.stdout.decode("utf-8", "replace")


def read_text(path):
    try:
        return read_maybe_gz(path).decode("utf-8")
    except (UnicodeDecodeError, OSError, EOFError, gzip.BadGzipFile):
        return None


def read_mo(path):
    """The translated strings of a gettext catalogue, one paragraph each."""
    data = read_maybe_gz(path)
    magic = struct.unpack("<I", data[:4])[0]
    order = "<" if magic == 0x950412DE else ">"
    _, count, _, trans_off = struct.unpack(order + "4I", data[4:20])
    out = []
    for i in range(1, count):          # entry 0 is the catalogue header
        length, off = struct.unpack(order + "2I", data[trans_off + 8 * i: trans_off + 8 * i + 8])
        for s in data[off:off + length].split(b"\0"):
            s = s.decode("utf-8", "replace").strip()
            if words_in(s) >= 3:
                out.append(s)
    return out


def candidates():
    """Every source path per family, sorted, before any is read."""
    def listdir(d, pred):
        try:
            return sorted(os.path.join(d, n) for n in os.listdir(d) if pred(n))
        except OSError:
            return []
    fam = {}
    man = []
    for sec in ("1", "3", "5", "7", "8"):
        d = "/usr/share/man/man" + sec
        man += [p for p in listdir(d, lambda n: n.endswith(".gz")) if not os.path.islink(p)
                and 2000 <= os.path.getsize(p) <= 30000]
    fam["man"] = man
    ru = []
    for sec in ("1", "5", "7", "8"):
        d = "/usr/share/man/ru/man" + sec
        ru += [p for p in listdir(d, lambda n: n.endswith(".gz")) if not os.path.islink(p)
               and os.path.getsize(p) >= 1200]
    fam["ru-man"] = ru
    docs = sorted(os.listdir("/usr/share/doc"))
    ch, lic, rd = [], [], []
    for pkg in docs:
        d = os.path.join("/usr/share/doc", pkg)
        if os.path.islink(d) or not os.path.isdir(d):
            continue
        for n in sorted(os.listdir(d)):
            p = os.path.join(d, n)
            if os.path.islink(p) or not os.path.isfile(p):
                continue
            if n in ("changelog.gz", "changelog.Debian.gz"):
                ch.append(p)
            elif n == "copyright":
                lic.append(p)
            elif re.match(r"(readme|news|todo|faq|install|authors|thanks|bugs|usage)|.*\.(txt|md|rst)(\.gz)?$",
                          n, re.I) and not re.search(r"changelog|copyright", n, re.I):
                rd.append(p)
    lic += listdir("/usr/share/common-licenses",
                   lambda n: not os.path.islink("/usr/share/common-licenses/" + n))
    fam["changelog"], fam["licence"], fam["readme"] = ch, sorted(lic), rd
    fam["info"] = listdir("/usr/share/info", lambda n: ".info" in n and n.endswith(".gz"))
    fam["ru-po"] = listdir("/usr/share/locale/ru/LC_MESSAGES", lambda n: n.endswith(".mo"))
    return fam


def clean(text):
    """Text without terminal escapes, overstriking and other control characters."""
    text = re.sub(r"\x1b\[[0-9;]*[A-Za-z]|.\x08", "", text)
    return re.sub(r"[\x00-\x08\x0b-\x1f\x7f]", "", text)


def load(family, path):
    """[(source name, text)] for one source file (catalogues give several)."""
    return [(s, clean(t)) for s, t in load_raw(family, path)]


def load_raw(family, path):
    if family in ("man", "ru-man"):
        t = render_man(path)
        return [(path, cut(t))] if t.strip() else []
    if family == "info":
        t = read_text(path) or ""
        nodes = [n for n in t.split("\x1f\n") if words_in(n) >= 80 and not n.startswith("Tag Table")]
        return [(f"{path}#{i}", cut(n, 1500)) for i, n in enumerate(nodes)]
    if family == "ru-po":
        out, chunk, n, part = [], [], 0, 0
        for s in read_mo(path):
            chunk.append(s)
            n += words_in(s)
            if n >= 400:
                out.append((f"{path}#{part}", "\n\n".join(chunk) + "\n"))
                chunk, n, part = [], 0, part + 1
        return out
    t = read_text(path)
    return [(path, cut(t))] if t and t.strip() else []


class Doc:
    def __init__(self, family, source, text):
        self.family, self.source, self.text = family, source, text
        self.words = words_in(text)


def stem(d):
    """What documents of one origin share: a man page's command family, a changelog's source package."""
    if d.family == "man":
        return "man:" + re.split(r"[._-]", os.path.basename(d.source))[0]
    if d.family == "changelog":
        first = d.text.split(None, 1)
        return "changelog:" + (first[0] if first else "")
    return d.source


def sample(text):
    """A quarter of the text's word 8-grams, chosen by their hash, to compare texts cheaply."""
    ws = re.findall(r"[^\W\d_]+", text.lower())
    hs = (zlib.crc32(" ".join(ws[i:i + 8]).encode()) for i in range(len(ws) - 7))
    return {h for h in hs if h % 4 == 0}


def run_grams(text):
    """The RUN_GRAM-grams of a text's words, numbers counted as words (as tessel reads them)."""
    ws = re.findall(r"\w+", text.lower())
    return [" ".join(ws[i:i + RUN_GRAM]) for i in range(len(ws) - RUN_GRAM + 1)]


def longest_shared_run(grams, holders, common):
    """The most words in a row a text shares with one protected text and with no unprotected one."""
    best, runs = 0, {}
    for g in grams:
        files = holders.get(g, ()) if g not in common else ()
        runs = {f: runs.get(f, 0) + 1 for f in files}
        best = max(best, max(runs.values(), default=0))
    return best + RUN_GRAM - 1 if best else 0


def gather(rng, scale, jobs):
    """Draw the documents of every part, each family's sources in a seeded order.

    At most MAX_PER_STEM documents come from one origin (the man pages of one
    command family, the changelogs of one source package), and a negative or
    host document never holds a passage that only the protected set holds
    (LEAK_GRAMS sampled 8-grams of letters, some 20 words, anywhere; or
    LEAK_WORDS words in a row of one protected text, numbers counted, which
    the sampled grams miss in tables and listings): such a document would be
    a leak, not a negative.
    """
    fam = candidates()
    parts = {k: [] for k in SIZES}
    pools = {}
    for family, paths in fam.items():
        paths = list(paths)
        rng.shuffle(paths)
        if family == "man":               # one command family can have thousands of pages
            per = {}
            paths = [p for p in paths if per.setdefault(stem(Doc(family, p, "")), []).append(p)
                     or len(per[stem(Doc(family, p, ""))]) <= MAX_PER_STEM]
        want = {part: max(1, round(n[family] * scale)) for part, n in SIZES.items() if family in n}
        pool, need = [], sum(want.values())
        # Read in batches until every part can be filled; the seeded order of
        # the paths, not the reading order, decides which texts are taken.
        i = 0
        with ThreadPoolExecutor(jobs) as ex:
            while i < len(paths) and not enough(pool, want):
                batch = paths[i:i + max(16, need // 2)]
                i += len(batch)
                for path, docs in zip(batch, ex.map(lambda p: load(family, p), batch)):
                    pool.extend(Doc(family, s, t) for s, t in docs)
        if family in ("info", "ru-po"):      # several documents a source: mix the sources
            rng.shuffle(pool)
        pools[family] = (pool, want)
    seen, stems = set(), {}
    protected_grams, common_grams = set(), set()
    run_holders, run_common = {}, set()  # every RUN_GRAM-gram: its protected texts; the unprotected ones
    for part in ("protected", "unprotected", "host", "negative"):
        for family, (pool, want) in pools.items():
            if part not in want:
                continue
            taken = []
            for d in pool:
                if len(taken) == want[part]:
                    break
                key = hashlib.sha1(d.text.encode()).digest()
                if id(d) in seen or key in seen or d.words < MIN_WORDS[part] \
                        or stems.get(stem(d), 0) >= MAX_PER_STEM:
                    continue
                grams = sample(d.text)
                if part in ("host", "negative") and (
                        len((grams & protected_grams) - common_grams) >= LEAK_GRAMS or
                        longest_shared_run(run_grams(d.text), run_holders, run_common) >= LEAK_WORDS):
                    continue
                seen.update((id(d), key))
                stems[stem(d)] = stems.get(stem(d), 0) + 1
                taken.append(d)
                (protected_grams if part == "protected" else common_grams if part == "unprotected"
                 else set()).update(grams)
                if part == "protected":
                    for g in run_grams(d.text):
                        run_holders.setdefault(g, set()).add(len(parts[part]) + len(taken))
                elif part == "unprotected":
                    run_common.update(run_grams(d.text))
            if len(taken) < want[part]:
                print(f"generate: only {len(taken)} of {want[part]} {family} texts for {part}",
                      file=sys.stderr)
            parts[part] += taken
    used_paths = [d.source.split("#")[0] for docs in parts.values() for d in docs]
    return parts, used_paths


def enough(pool, want):
    total = sum(want.values())
    return len({stem(d) for d in pool}) >= total * 2 + 10 and \
        len({stem(d) for d in pool if d.words >= MIN_WORDS["protected"]}) >= want.get("protected", 0) * 2 + 5


# ---- edits -----------------------------------------------------------------

TOKEN = re.compile(r"\S+")
HAS_LETTER = re.compile(r"[^\W\d_]")
PUNCT = ",.;:!?-"


def grams(text, n=5):
    ws = re.findall(r"[^\W\d_]+", text.lower())
    return [" ".join(ws[i:i + n]) for i in range(len(ws) - n + 1)]


def word_span(rng, text, n, common=frozenset(), tries=30):
    """The (start, end) offsets of a run of n tokens holding letters, at a seeded place.

    A passage is a leak only where it holds text of the protected set alone:
    the first of some seeded places where at most half the passage's word
    5-grams occur in the unprotected set is taken. None where no place
    qualifies: the caller draws another protected file, since a passage the
    unprotected set holds is not confidential and no method could find it.
    """
    toks = [m for m in TOKEN.finditer(text) if HAS_LETTER.search(m.group())]
    if len(toks) < n:
        return None
    for _ in range(tries):
        i = rng.randrange(len(toks) - n + 1)
        if mostly_protected(text[toks[i].start():toks[i + n - 1].end()], common):
            return toks[i].start(), toks[i + n - 1].end()
    return None


def mostly_protected(text, common):
    """True when at most half of the text's word 5-grams occur in the unprotected set."""
    g = grams(text)
    return sum(x in common for x in g) <= 0.5 * max(1, len(g))


def wrap(words, width=72):
    return textwrap.fill(" ".join(words), width=width, break_long_words=False,
                         break_on_hyphens=False)


def vocabulary(docs):
    vocab = sorted({w for d in docs for w in re.findall(r"[^\W\d_]{3,}", d.text)})
    return vocab


def replace_every(rng, words, k, vocab):
    out, n = [], 0
    for w in words:
        if HAS_LETTER.search(w):
            n += 1
            if n % k == 0:
                w = rng.choice(vocab)
        out.append(w)
    return out


def change_punctuation(rng, words):
    out = []
    for w in words:
        m = re.match(r"^(\W*)(.*?)(\W*)$", w, re.S)
        lead, core, trail = m.groups()
        if trail or rng.random() < 0.15:
            r = rng.random()
            trail = "" if r < 0.4 else rng.choice(PUNCT)
        if lead and rng.random() < 0.5:
            lead = ""
        out.append(lead + core + trail if core else w)
    return wrap(out, rng.randrange(30, 61)).replace("\n", "\n" if rng.random() < 0.5 else "\n\n")


def reorder(rng, words):
    pieces, cur = [], []
    for w in words:
        cur.append(w)
        if re.search(r"[.!?;:]$", w) and len(cur) >= 4:
            pieces.append(cur)
            cur = []
    if cur:
        pieces.append(cur)
    if len(pieces) < 4:                 # option lists and the like have few sentence ends
        pieces = [words[i:i + 12] for i in range(0, len(words), 12)]
    order = list(range(len(pieces)))
    while order == sorted(order):
        rng.shuffle(order)
    return "\n".join(wrap(pieces[i]) for i in order)


def drop_words(rng, words, share=0.10):
    idx = [i for i, w in enumerate(words) if HAS_LETTER.search(w)]
    gone = set(rng.sample(idx, max(1, round(len(idx) * share))))
    return [w for i, w in enumerate(words) if i not in gone]


def plant(rng, host, passages):
    """Insert passages at line ends of the host, in order, the later ones further on."""
    lines = host.rstrip("\n").split("\n")
    if len(passages) == 1:
        spots = [rng.randrange(len(lines) + 1)]
    else:
        spots = [rng.randrange(0, max(1, len(lines) // 4) + 1),
                 rng.randrange(len(lines) * 3 // 4, len(lines) + 1)]
    for at, p in sorted(zip(spots, passages), reverse=True):
        lines[at:at] = ["", p.strip("\n"), ""]
    return "\n".join(lines) + "\n"


HEADER = ("From: {name} <{user}@example.org>\nTo: archive@example.org\n"
          "Subject: Fwd: {subject}\nDate: Mon, {day} Mar 2026 10:{minute:02d}:00 +0000\n\n"
          "Please find the text below for the review.\n\n")


def make_positive(rng, edit, src, host, vocab, common=frozenset()):
    """(bytes of the document, host document) for one edit of a passage of src.

    None where src holds no passage of protected text (see word_span); for a
    near-duplicate the whole file must qualify.
    """
    text = src.text
    enc_host = "cp1251" if host.family in RUSSIAN else "utf-8"
    if edit == "near-duplicate":
        if not mostly_protected(text, common):
            return None
        lines = text.split("\n")
        doc = HEADER.format(name=rng.choice(["Anna Petrova", "John Smith", "Li Wei"]),
                            user=rng.choice(["anna", "john", "li"]),
                            subject=os.path.basename(src.source), day=rng.randrange(1, 29),
                            minute=rng.randrange(60)) + "\n".join(lines[3:])
        return encode(doc, "cp1251" if src.family in RUSSIAN else "utf-8"), None
    n = int(edit.split("-")[1]) if edit.startswith("verbatim") else PASSAGE_WORDS
    span = word_span(rng, text, n, common)
    if span is None:
        return None
    a, b = span
    passage = text[a:b]
    words = passage.split()
    if edit == "caps":
        passage = passage.upper()
    elif edit == "punctuation":
        passage = change_punctuation(rng, words)
    elif edit.startswith("replace"):
        passage = wrap(replace_every(rng, words, int(re.search(r"\d+", edit).group()), vocab))
    elif edit == "reordered":
        passage = reorder(rng, words)
    elif edit == "drop-10pct":
        passage = wrap(drop_words(rng, words))
    if edit == "split":
        half = len(words) // 2
        doc = plant(rng, host.text, [wrap(words[:half]), wrap(words[half:])])
        return encode(doc, enc_host), host
    if edit == "utf8-in-cp1251":
        lines = host.text.rstrip("\n").split("\n")
        at = rng.randrange(len(lines) + 1)
        before = "\n".join(lines[:at]) + ("\n" if at else "")
        after = "\n".join(lines[at:]) + "\n"
        return (encode(before, "cp1251") + b"\n" + passage.encode("utf-8") + b"\n\n"
                + encode(after, "cp1251")), host
    doc = plant(rng, host.text, [passage])
    return encode(doc, "utf-8" if edit == "utf8-document" else enc_host), host


def encode(text, enc):
    return text.encode(enc, "replace")


def eligible(edit, doc):
    if edit in ("utf8-document", "utf8-in-cp1251") and doc.family not in RUSSIAN:
        return False
    n = int(edit.split("-")[1]) if edit.startswith("verbatim") else PASSAGE_WORDS
    return sum(1 for m in TOKEN.finditer(doc.text) if HAS_LETTER.search(m.group())) >= n


def host_for(edit, src, hosts_en, hosts_ru, rng):
    ru = src.family in RUSSIAN or edit in ("utf8-document", "utf8-in-cp1251")
    return rng.choice(hosts_ru if ru else hosts_en)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("out", nargs="?", default="/tmp/tessel-quality")
    ap.add_argument("--scale", type=float, default=1.0,
                    help="share of the default sizes (the smoke test uses 0.05)")
    ap.add_argument("--per-edit", type=int, default=100, help="positives per edit")
    ap.add_argument("--seed", type=int, default=SEED)
    ap.add_argument("-j", "--jobs", type=int, default=2)
    args = ap.parse_args()

    rng = random.Random(args.seed)
    parts, used = gather(rng, args.scale, args.jobs)
    out = args.out
    tmp = out + ".new"
    shutil.rmtree(tmp, ignore_errors=True)
    for d in ("protected", "unprotected", "store"):
        os.makedirs(os.path.join(tmp, d))
    written = []

    def write(rel, data):
        with open(os.path.join(tmp, rel), "wb") as f:
            f.write(data)
        written.append((rel, hashlib.sha256(data).hexdigest()))

    def write_learning(part):
        names = []
        for i, d in enumerate(parts[part], 1):
            rel = f"{part}/{part[0]}{i:04d}-{d.family}.txt"
            write(rel, encode(d.text, "cp1251" if d.family in RUSSIAN else "utf-8"))
            names.append(rel)
            d.rel = rel
        return names

    prot = write_learning("protected")
    unprot = write_learning("unprotected")

    store = []          # (bytes, label, edit, family, source)
    for d in parts["negative"]:
        store.append((encode(d.text, "cp1251" if d.family in RUSSIAN else "utf-8"),
                      "neg", "-", d.family, "-"))
    hosts_en = [d for d in parts["host"] if d.family not in RUSSIAN]
    hosts_ru = [d for d in parts["host"] if d.family in RUSSIAN]
    vocab_en, vocab_ru = vocabulary(hosts_en), vocabulary(hosts_ru)
    common = {g for d in parts["unprotected"] for g in grams(d.text)}
    sources = [d for d in parts["protected"]]
    for edit in EDITS:
        pool = [d for d in sources if eligible(edit, d)]
        erng = random.Random(f"{args.seed}:{edit}")
        erng.shuffle(pool)
        # A protected file without a passage of protected text is passed over
        # for the next one of the pool.
        drawn = 0
        for k in range(args.per_edit):
            made = None
            while made is None:
                if drawn >= len(pool) * 2 + args.per_edit:
                    sys.exit(f"generate: too few protected files hold protected text for {edit}")
                src = pool[drawn % len(pool)]
                drawn += 1
                host = host_for(edit, src, hosts_en, hosts_ru, erng)
                vocab = vocab_ru if src.family in RUSSIAN else vocab_en
                made = make_positive(erng, edit, src, host, vocab, common)
            store.append((made[0], "pos", edit, src.family, src.rel))
    order = list(range(len(store)))
    rng.shuffle(order)
    labels = ["path\tlabel\tedit\tfamily\tsource"]
    names = []
    for n, i in enumerate(order, 1):
        data, label, edit, family, source = store[i]
        rel = f"store/s{n:05d}.txt"
        write(rel, data)
        names.append(rel)
        labels.append(f"{rel}\t{label}\t{edit}\t{family}\t{source}")
    names.sort()
    labels = [labels[0]] + sorted(labels[1:])

    for rel, lst in (("protected.list", prot), ("unprotected.list", unprot), ("store.list", names)):
        write(rel, ("\n".join(lst) + "\n").encode())
    write("labels.tsv", ("\n".join(labels) + "\n").encode())

    owners = package_versions(sorted(set(used)))
    write("packages.txt", ("".join(f"{p}\t{v}\n" for p, v in owners)).encode())
    digest = hashlib.sha256("".join(f"{r} {h}\n" for r, h in sorted(written)).encode()).hexdigest()
    negs = sum(1 for s in store if s[1] == "neg")
    counts = "\n".join(f"{part}\t{len(docs)}" for part, docs in parts.items())
    with open(os.path.join(tmp, "manifest.txt"), "w") as f:
        f.write(f"seed\t{args.seed}\nscale\t{args.scale}\nper_edit\t{args.per_edit}\n{counts}\n"
                f"store\t{len(store)}\nnegatives\t{negs}\npositives\t{len(store) - negs}\n"
                f"packages\t{len(owners)}\ndigest\t{digest}\n")
    shutil.rmtree(out, ignore_errors=True)
    os.rename(tmp, out)
    print(open(os.path.join(out, "manifest.txt")).read(), end="")


def package_versions(paths):
    owners = set()
    for i in range(0, len(paths), 200):
        r = subprocess.run(["dpkg", "-S"] + paths[i:i + 200], stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True)
        for line in r.stdout.splitlines():
            pkgs, _, _ = line.partition(": ")
            if not pkgs.startswith("diversion by"):
                owners.update(p.strip().split(":")[0] for p in pkgs.split(","))
    if not owners:
        return []
    r = subprocess.run(["dpkg-query", "-W", "-f", "${Package}\t${Version}\n"] + sorted(owners),
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return sorted(tuple(l.split("\t")) for l in r.stdout.splitlines() if "\t" in l)


if __name__ == "__main__":
    main()
