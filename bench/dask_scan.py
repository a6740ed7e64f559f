#!/usr/bin/env python3
"""Documents per second of tessel.dask per worker, against one process.

Usage: dask_scan.py WORK_DIR [--docs N] [--doc-kb KB] [--workers W]
                    [--mode shingles|language_model] [--batches 1,10,...]

Generates a training corpus (8 MB) and N documents of KB kilobytes with
make_corpus.py under WORK_DIR (kept for later runs), trains a model with
build/tessel, then judges the documents: once in this process with
Model.judge_files(threads=1), then with tessel.dask.scan on a LocalCluster of
W worker processes of one thread each, for every batch size. Prints each
rate per worker as a share of the one process's, and the smallest batch
size that reaches 90% of it, then the same per CPU second of the workers
(what Dask costs them, whatever else the machine runs). The two are timed
in turns, --repeat times, and the best of each is kept.
"""
import argparse
import glob
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "bindings", "python"))
os.environ.setdefault("TESSEL_LIBRARY", os.path.join(ROOT, "build", "libtessel.so.0"))

import distributed  # noqa: E402
import tessel  # noqa: E402
import tessel.dask  # noqa: E402


def prepare(work, docs, doc_kb, mode):
    """The model directory and the documents' paths, made once."""
    make = [sys.executable, os.path.join(ROOT, "bench", "make_corpus.py")]
    train, data = os.path.join(work, "train"), os.path.join(work, "docs-%d-%d" % (docs, doc_kb))
    if not os.path.isdir(train):
        subprocess.run(make + [train, "8"], check=True)
    if not os.path.isdir(data):
        megabytes = -(-docs * doc_kb // 1024)
        subprocess.run(make + [data, str(megabytes), str(doc_kb)], check=True)
    model = os.path.join(work, "model-" + mode)
    if not os.path.isdir(model):
        os.makedirs(model)
        extra = ["-o", "1"] if mode == "language_model" else []
        subprocess.run([os.path.join(ROOT, "build", "tessel"), "-p", train + "/protected/*.txt",
                        "-u", train + "/unprotected/*.txt", "-v"] + extra,
                       cwd=model, check=True, capture_output=True)
    return model, sorted(glob.glob(data + "/*/*.txt"))[:docs]


def seconds(run, cpu=time.process_time):
    """The wall-clock and the CPU seconds (of cpu()) that run() takes."""
    start, start_cpu = time.perf_counter(), cpu()
    run()
    return time.perf_counter() - start, cpu() - start_cpu


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("work")
    parser.add_argument("--docs", type=int, default=4000)
    parser.add_argument("--doc-kb", type=int, default=4)
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--mode", default="shingles", choices=["shingles", "language_model"])
    parser.add_argument("--batches", default="1,10,30,100,300,1000")
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    model_dir, paths = prepare(args.work, args.docs, args.doc_kb, args.mode)

    model = tessel.Model(model_dir, mode=args.mode)
    model.judge_files(paths, threads=1)  # the files into the page cache
    print(f"{len(paths)} documents of {args.doc_kb} KB, {args.mode}, {args.workers} workers")
    cluster = distributed.LocalCluster(n_workers=args.workers, processes=True, threads_per_worker=1,
                                       host="127.0.0.1", dashboard_address=None)
    reached = None
    with cluster, distributed.Client(cluster) as client:
        def workers_cpu():
            return sum(client.run(time.process_time).values())

        print(f"{'batch':>6} {'one process':>12} {'per worker':>11} {'share':>6}"
              f" {'per CPU s':>10} {'share':>6}  (documents/s)")
        for batch in map(int, args.batches.split(",")):
            frame = tessel.dask.scan(client, paths, model_dir, batch_size=batch, mode=args.mode)
            frame.compute()  # the workers warm
            # The machine may be shared: the two are timed in turns, the
            # best of each kept. The workers' CPU time shows what Dask
            # costs them whatever else runs.
            alone, scanned = (float("inf"),) * 2, (float("inf"),) * 2
            for _ in range(args.repeat):
                alone = min(alone, seconds(lambda: model.judge_files(paths, threads=1)))
                scanned = min(scanned, seconds(frame.compute, workers_cpu))
            alone_rate, alone_cpu = len(paths) / alone[0], len(paths) / alone[1]
            rate, cpu_rate = len(paths) / scanned[0] / args.workers, len(paths) / scanned[1]
            print(f"{batch:>6} {alone_rate:>12.0f} {rate:>11.0f} {rate / alone_rate:>6.0%}"
                  f" {cpu_rate:>10.0f} {cpu_rate / alone_cpu:>6.0%}")
            if reached is None and rate >= 0.9 * alone_rate:
                reached = batch
    print("90% of one process per worker at batch size:", reached or "not reached")


if __name__ == "__main__":
    main()
