"""Scan files on a Dask cluster (the distributed scheduler).

    from distributed import Client
    import tessel.dask

    client = Client("tcp://scheduler:8786")
    frame = tessel.dask.scan(client, paths, "/srv/model", mode="shingles", max_threshold=8)
    flagged = frame[frame.verdict].compute()

scan() registers a worker plugin that opens the model once on every worker
(and on workers that join later), then returns a lazy Dask DataFrame: one
row per path, one partition per batch of paths, each batch judged by one
task with Model.judge_files. The model directory and the files must be
readable by the workers under the paths given.
"""

import dataclasses
import hashlib
import os
from typing import Any, Dict, List, Optional

import dask
import dask.bag
import dask.dataframe
import distributed
import numpy
import pandas

from ._errors import TesselError
from ._model import DEFAULT_MODE, OPEN_OPTIONS, SETTINGS, Model
from ._results import JudgeError, LanguageModelVerdict, ShingleVerdict

# Paths per task: a task costs a worker 4-5 ms of CPU, the time of judging
# some 50 documents of 4 KB, so that batches of 1,000 reach about 90% of one
# process's rate per worker CPU second (bench/dask_scan.py,
# docs/performance.md).
DEFAULT_BATCH_SIZE = 1000

_DTYPES = {bool: "boolean", int: "Int64", float: "float64"}
# A column of the dtype from its values and the mask of the missing ones.
_ARRAYS = {
    "boolean": lambda values, mask: pandas.arrays.BooleanArray(numpy.array(values, bool), mask),
    "Int64": lambda values, mask: pandas.arrays.IntegerArray(numpy.array(values, numpy.int64), mask),
    "float64": lambda values, mask: numpy.where(mask, numpy.nan, numpy.array(values, float)),
}


def columns(mode: str) -> Dict[str, str]:
    """The DataFrame's columns and their dtypes for a model of the mode.
    verdict is <NA> and error holds the message for a file that could not
    be judged; error is None for the others."""
    kind = ShingleVerdict if mode == "shingles" else LanguageModelVerdict
    result = {"path": "object", "verdict": "boolean", "error": "object"}
    for field in dataclasses.fields(kind):
        if field.name not in result and field.type in _DTYPES:
            result[field.name] = _DTYPES[field.type]
    return result


class ModelPlugin(distributed.WorkerPlugin):
    """Opens a Model on a worker when registered, closes it on teardown."""

    def __init__(self, directory, library: Optional[str] = None, **options):
        self.directory, self.library, self.options = os.fspath(directory), library, options
        key = repr((self.directory, library, sorted(options.items()))).encode()
        self.name = "tessel-" + hashlib.sha256(key).hexdigest()[:16]
        self.model: Optional[Model] = None

    def setup(self, worker=None):
        self.model = Model(self.directory, self.library, **self.options)

    def teardown(self, worker=None):
        if self.model is not None:
            self.model.close()
            self.model = None

    def __getstate__(self):
        # A model never travels: each worker opens its own.
        return dict(self.__dict__, model=None)


def register(client: distributed.Client, plugin: ModelPlugin) -> None:
    """Registers the plugin on every worker (raising what opening the
    model raised there), with the call of the installed version."""
    call = getattr(client, "register_plugin", None) or client.register_worker_plugin
    call(plugin, name=plugin.name)


def _worker_model(name: str) -> Model:
    try:
        worker = distributed.get_worker()
    except ValueError:
        raise TesselError("tessel.dask scans run on the workers of the client given to scan()") from None
    model = getattr(worker.plugins.get(name), "model", None)
    if model is None:
        raise TesselError(f"the model plugin {name} is not set up on worker {worker.address}")
    return model


def _frame(paths: List[Any], found: List[Any], mode: str, start: Optional[int]) -> pandas.DataFrame:
    # Column by column, with the failed rows as the mask: building from rows
    # and converting costs more than judging a small batch.
    dtypes = columns(mode)
    failed = numpy.array([isinstance(result, JudgeError) for result in found], dtype=bool)
    data = {"path": [os.fspath(path) for path in paths],
            "error": [result.message if bad else None for result, bad in zip(found, failed)]}
    for name, dtype in dtypes.items():
        if name not in data:
            values = [0 if bad else getattr(result, name) for result, bad in zip(found, failed)]
            data[name] = _ARRAYS[dtype](values, failed.copy())
    index = None if start is None else pandas.RangeIndex(start, start + len(paths))
    return pandas.DataFrame(data, columns=list(dtypes), index=index)


def judge_batch(name: str, paths, mode: str, settings: Dict[str, Any], threads: int,
                start: Optional[int] = None) -> pandas.DataFrame:
    """One task: the batch's rows, judged with the worker's model."""
    paths = list(paths)
    found = _worker_model(name).judge_files(paths, threads=threads, **settings)
    return _frame(paths, found, mode, start)


def scan(client: distributed.Client, paths, directory, *, batch_size: int = DEFAULT_BATCH_SIZE,
         threads: int = 1, library: Optional[str] = None, **options) -> dask.dataframe.DataFrame:
    """Judges the files (a list of paths, or a dask.bag.Bag of them, whose
    partitions are then the batches) on the client's workers.

    The keywords are Model's options (mode, shingle_length, ...) and the
    settings of judge_files (formula, max_threshold, ...). threads is the
    number of the library's threads per task: with one Dask thread per
    worker, the worker's cores. The rows of a list keep its order and its
    positions as their index."""
    unknown = set(options) - set(OPEN_OPTIONS) - set(SETTINGS)
    if unknown:
        raise TypeError("unknown options or settings: " + ", ".join(sorted(unknown)))
    if batch_size < 1:
        raise ValueError(f"batch_size must be at least 1, not {batch_size}")
    opening = {k: v for k, v in options.items() if k in OPEN_OPTIONS}
    settings = {k: v for k, v in options.items() if k in SETTINGS}
    plugin = ModelPlugin(directory, library, **opening)
    register(client, plugin)
    mode = opening.get("mode", DEFAULT_MODE)
    meta = pandas.DataFrame(columns=list(columns(mode))).astype(columns(mode))
    task = dask.delayed(judge_batch)
    if isinstance(paths, dask.bag.Bag):
        parts = [task(plugin.name, part, mode, settings, threads) for part in paths.to_delayed()]
        return dask.dataframe.from_delayed(parts, meta=meta, verify_meta=False)
    paths = list(paths)
    starts = range(0, len(paths), batch_size)
    parts = [task(plugin.name, paths[start:start + batch_size], mode, settings, threads, start)
             for start in starts]
    if not parts:
        return dask.dataframe.from_pandas(meta, npartitions=1)
    divisions = list(starts) + [len(paths) - 1]
    # judge_batch makes frames of the meta's columns and dtypes: checking
    # them would cost a task per batch.
    return dask.dataframe.from_delayed(parts, meta=meta, divisions=divisions, verify_meta=False)
