#!/usr/bin/env python3
"""Judge the benchmark's store with tessel and the peers, and report.

For each configuration: the score of every store document (higher: more like
the protected set), the recall per edit at a false-positive rate of 1% and
0.1% (the threshold set on the store's negatives), for tessel the recall and
the false positives at its default verdict, and the CPU time (user+sys) of
training and judging. Writes WORK/results.md, WORK/scores.tsv and
WORK/curve.png (recall against false-positive rate, drawn by gnuplot).

A tessel configuration is NAME=OPTIONS: the options are given to training
(with -v) and to judging (with -f) alike, so "robust=--robust" or
"lm1=-o 1" is one more configuration.
"""

import argparse
import json
import math
import os
import re
import resource
import shlex
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generate  # noqa: E402
import peers  # noqa: E402

RATES = (0.01, 0.001)


class Bench:
    def __init__(self, data, work):
        self.data, self.work = data, work
        self.utf8 = os.path.join(work, "utf8")
        self.labels = {}
        with open(os.path.join(data, "labels.tsv")) as f:
            next(f)
            for line in f:
                path, label, edit, family, source = line.rstrip("\n").split("\t")
                self.labels[path] = (label, edit, family, source)
        self.store = sorted(self.labels)
        self.protected = lines(os.path.join(data, "protected.list"))
        self.unprotected = lines(os.path.join(data, "unprotected.list"))
        self.edits = []
        for label, edit, _, _ in (self.labels[p] for p in self.store):
            if label == "pos" and edit not in self.edits:
                self.edits.append(edit)
        order = generate.EDITS
        self.edits.sort(key=lambda e: order.index(e) if e in order else len(order))
        self.same_family = {l[2] for l in self.labels.values() if l[0] == "pos"} - {"readme", "info", "ru-po"}


def lines(path):
    with open(path) as f:
        return [l.rstrip("\n") for l in f if l.strip()]


def cpu():
    c = resource.getrusage(resource.RUSAGE_CHILDREN)
    s = resource.getrusage(resource.RUSAGE_SELF)
    return c.ru_utime + c.ru_stime + s.ru_utime + s.ru_stime


def write_list(path, data, rels):
    with open(path, "w") as f:
        f.writelines(os.path.join(data, r) + "\n" for r in rels)


def tessel_score(rec):
    """The quantity the document's verdict thresholds, on a scale where 1 is the default threshold."""
    if isinstance(rec.get("score"), (int, float)) and not isinstance(rec.get("score"), bool):
        return float(rec["score"])
    if "verdict" not in rec:
        return 0.0 if "skipped" in rec else float("-inf")
    if rec.get("mode") == "shingle":
        t = rec["threshold"]
        if t > 0:
            return rec["protected"] / t
        return math.inf if rec["verdict"] else 0.0
    return 1.0 if rec["verdict"] else 0.0      # language model: no graded score in the record


def run_tessel(b, tessel, name, options):
    model = os.path.join(b.work, "models", re.sub(r"[^\w.-]+", "_", name))
    os.makedirs(model, exist_ok=True)
    for part, rels in (("protected", b.protected), ("unprotected", b.unprotected), ("store", b.store)):
        write_list(os.path.join(model, part + ".list"), b.data, rels)
    opts = shlex.split(options)
    t0 = cpu()
    subprocess.run([tessel] + opts + ["--protected-from", "protected.list",
                                      "--unprotected-from", "unprotected.list", "-v"],
                   cwd=model, check=True, stdout=subprocess.DEVNULL)
    t1 = cpu()
    r = subprocess.run([tessel] + opts + ["-f", "-p", "p.bin", "-u", "u.bin",
                                          "--files-from", "store.list", "--format=json",
                                          "--no-headers", "--no-title"],
                       cwd=model, check=True, stdout=subprocess.PIPE)
    t2 = cpu()
    scores, verdicts = {}, {}
    prefix = os.path.join(b.data, "")
    for line in r.stdout.decode().splitlines():
        rec = json.loads(line)
        if rec.get("type") != "document":
            continue
        rel = rec["path"][len(prefix):]
        scores[rel] = tessel_score(rec)
        verdicts[rel] = bool(rec.get("verdict"))
    missing = set(b.store) - set(scores)
    if missing:
        raise SystemExit(f"evaluate: {name}: no record for {len(missing)} documents")
    return scores, verdicts, t1 - t0, t2 - t1


def threshold_at(neg_scores, rate):
    """The score a document must exceed so that at most rate of the negatives do."""
    allowed = int(rate * len(neg_scores) + 1e-9)
    ranked = sorted(neg_scores, reverse=True)
    return ranked[allowed] if allowed < len(ranked) else float("-inf")


def metrics(b, scores, verdicts):
    neg = [scores[p] for p in b.store if b.labels[p][0] == "neg"]
    out = {}
    for rate in RATES:
        t = threshold_at(neg, rate)
        per = {}
        for p in b.store:
            label, edit = b.labels[p][:2]
            if label == "pos":
                hit, n = per.get(edit, (0, 0))
                per[edit] = (hit + (scores[p] > t), n + 1)
        hits = sum(h for h, _ in per.values())
        total = sum(n for _, n in per.values())
        out[rate] = {"all": hits / total, **{e: h / n for e, (h, n) in per.items()}}
    if verdicts is not None:
        pos = [p for p in b.store if b.labels[p][0] == "pos"]
        negs = [p for p in b.store if b.labels[p][0] == "neg"]
        same = [p for p in negs if b.labels[p][2] in b.same_family]
        out["default"] = {
            "recall": sum(verdicts[p] for p in pos) / len(pos),
            "fp": sum(verdicts[p] for p in negs) / len(negs),
            "fp_same": sum(verdicts[p] for p in same) / len(same),
        }
    return out


def roc(b, scores):
    """(false-positive rate, recall) at every distinct threshold, for the curve."""
    pairs = sorted(((s, b.labels[p][0] == "pos") for p, s in scores.items()), key=lambda x: -x[0])
    npos = sum(1 for _, y in pairs if y)
    nneg = len(pairs) - npos
    pts, tp, fp, i = [], 0, 0, 0
    while i < len(pairs):
        j = i
        while j < len(pairs) and pairs[j][0] == pairs[i][0]:
            tp += pairs[j][1]
            fp += not pairs[j][1]
            j += 1
        pts.append((max(fp / nneg, 1e-4), tp / npos))
        i = j
    return pts


def fmt(x):
    return "-" if x is None else f"{x:.3f}".replace("0.", ".", 1) if x < 1 else "1.0"


def report(b, results, manifest, machine):
    names = list(results)
    lines_ = ["# tessel quality benchmark: results", ""]
    lines_ += ["```", manifest.strip(), "```", "", machine, ""]
    lines_ += ["## Summary", "",
               "| configuration | all @1% FP | all @0.1% FP | recall at default verdict | "
               "FP at default (all negatives) | FP at default (same-family negatives) | "
               "CPU train s | CPU judge s (peers: all their work) |",
               "|---|---|---|---|---|---|---|---|"]
    for n in names:
        m, r = results[n]["metrics"], results[n]
        d = m.get("default")
        lines_.append(f"| {n} | {fmt(m[0.01]['all'])} | {fmt(m[0.001]['all'])} | "
                      f"{fmt(d['recall']) if d else '-'} | {fmt(d['fp']) if d else '-'} | "
                      f"{fmt(d['fp_same']) if d else '-'} | "
                      f"{'-' if r['train'] is None else format(r['train'], '.1f')} | {r['judge']:.1f} |")
    for rate in RATES:
        lines_ += ["", f"## Recall per edit at {rate * 100:g}% false positives", "",
                   "| edit | " + " | ".join(names) + " |", "|---" * (len(names) + 1) + "|"]
        for e in ["all"] + b.edits:
            lines_.append(f"| {e} | " + " | ".join(fmt(results[n]["metrics"][rate].get(e))
                                                   for n in names) + " |")
    return "\n".join(lines_) + "\n"


def plot(b, results, work):
    dat = os.path.join(work, "curve.dat")
    with open(dat, "w") as f:
        for n, r in results.items():
            f.write(f"# {n}\n")
            for x, y in roc(b, r["scores"]):
                f.write(f"{x:.6g} {y:.6g}\n")
            f.write("\n\n")
    png = os.path.join(work, "curve.png")
    colours = ["#1b9e77", "#d95f02", "#7570b3", "#e7298a", "#66a61e", "#e6ab02", "#a6761d",
               "#666666", "#1f78b4", "#000000", "#fb9a99", "#b2df8a"]
    plots = ", ".join(f"'{dat}' index {i} with steps lw 2 lc rgb '{colours[i % len(colours)]}' "
                      f"dt {1 if r['verdicts'] is not None else 2} title '{n}'"
                      for i, (n, r) in enumerate(results.items()))
    script = f"""set terminal pngcairo size 800,520 font ',10'
set output '{png}'
set logscale x
set xrange [0.0005:1]
set yrange [0:1]
set xlabel 'false-positive rate on the store''s negatives'
set ylabel 'recall over all edits'
set key right bottom noenhanced
set grid
set arrow from 0.001,0 to 0.001,1 nohead dt 2
set arrow from 0.01,0 to 0.01,1 nohead dt 2
plot {plots}
"""
    subprocess.run(["gnuplot"], input=script, text=True, check=True)
    return png


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--data", default="/tmp/tessel-quality")
    ap.add_argument("--work", default=None, help="default: DATA/run")
    ap.add_argument("--tessel", required=True)
    ap.add_argument("--config", action="append", default=[], metavar="NAME=OPTIONS")
    ap.add_argument("--peers", default="sim_text,ssdeep,tlsh,minhash,winnowing,chain")
    args = ap.parse_args()
    work = args.work or os.path.join(args.data, "run")
    os.makedirs(work, exist_ok=True)
    b = Bench(os.path.abspath(args.data), os.path.abspath(work))
    results = {}
    for c in args.config or ["tessel defaults=", "tessel -c=-c"]:
        name, _, options = c.partition("=")
        t = time.time()
        scores, verdicts, tr, ju = run_tessel(b, os.path.abspath(args.tessel), name, options)
        results[name] = {"scores": scores, "verdicts": verdicts, "train": tr, "judge": ju}
        print(f"evaluate: {name}: {time.time() - t:.1f} s", file=sys.stderr)
    peers.utf8_copies(b.data, b.store + b.protected + b.unprotected, b.utf8)
    for name in filter(None, args.peers.split(",")):
        fn, program = peers.PEERS[name]
        if program and not any(os.access(os.path.join(d, program), os.X_OK)
                               for d in os.environ["PATH"].split(":")):
            print(f"evaluate: {program} is missing; {name} left out (bench/quality/setup.sh installs it)",
                  file=sys.stderr)
            continue
        t, c0 = time.time(), cpu()
        scores = fn(b)
        results[name] = {"scores": scores, "verdicts": None, "train": None, "judge": cpu() - c0}
        print(f"evaluate: {name}: {time.time() - t:.1f} s", file=sys.stderr)
    for r in results.values():
        r["metrics"] = metrics(b, r["scores"], r["verdicts"])
    with open(os.path.join(b.data, "manifest.txt")) as f:
        manifest = f.read()
    machine = (f"Machine: {os.cpu_count()} cores, {platform_line()}. "
               "CPU is user+sys of the processes (tessel judges with one thread per core).")
    text = report(b, results, manifest, machine)
    with open(os.path.join(work, "results.md"), "w") as f:
        f.write(text)
    with open(os.path.join(work, "scores.tsv"), "w") as f:
        f.write("path\tlabel\tedit\t" + "\t".join(results) + "\n")
        for p in b.store:
            f.write(f"{p}\t{b.labels[p][0]}\t{b.labels[p][1]}\t" +
                    "\t".join(f"{results[n]['scores'][p]:.6g}" for n in results) + "\n")
    try:
        png = plot(b, results, work)
        text += f"\nCurve: {png}\n"
    except (OSError, subprocess.CalledProcessError) as e:
        print(f"evaluate: no curve drawn: {e}", file=sys.stderr)
    print(text, end="")


def platform_line():
    try:
        with open("/proc/cpuinfo") as f:
            model = next((l.split(":", 1)[1].strip() for l in f if l.startswith("model name")), "")
    except OSError:
        model = ""
    return model or "unknown processor"


if __name__ == "__main__":
    main()
