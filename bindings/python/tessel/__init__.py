"""Judge texts and files against a tessel model from Python.

    import tessel
    with tessel.Model("/srv/model") as model:
        result = model.judge(open("mail.txt", "rb").read(), length=12)
        if result.verdict:
            print("protected:", result.phrase)

    with tessel.Model("/srv/shingles", mode="shingles", stop_words="stop.txt") as model:
        for path, found in zip(paths, model.judge_files(paths, max_threshold=8)):
            print(path, found)   # a ShingleVerdict, or a JudgeError

The package calls the library's thread-safe tessel_ interface through ctypes:
any number of threads may judge against one Model, and the library runs
without holding the interpreter lock. close() waits for the judge calls
running on the model; later calls raise TesselError. tessel.dask scans files
on a Dask cluster.

libtessel.so is looked for in this order: the library= argument of Model, the
file named by the environment variable TESSEL_LIBRARY, the build tree
(build/) when the package is used from a source checkout, the library of the
prefix the package was installed into with "cmake --install", and the
system's loader (libtessel.so.0). library_path() tells which one is used.
"""

__version__ = "0.1.0"

from ._errors import (ERROR_DAMAGED, ERROR_INCOMPLETE_SAVE, ERROR_INTERNAL, ERROR_INVALID_ARGUMENT,
                      ERROR_IO, ERROR_MIXED, ERROR_NOT_DIRECTORY, ERROR_NOT_FOUND,
                      ERROR_OUT_OF_MEMORY, ERROR_PREPROCESSOR, ERROR_BINARY, LibraryNotFoundError, TesselError)
from ._model import OPEN_OPTIONS, SETTINGS, TEXT_ENCODING, Model, Result, library_path
from ._results import JudgeError, LanguageModelVerdict, RobustVerdict, ShingleVerdict, Skipped

__all__ = ["Model", "Result", "ShingleVerdict", "LanguageModelVerdict", "RobustVerdict",
           "Skipped", "JudgeError",
           "TesselError", "LibraryNotFoundError", "SETTINGS", "OPEN_OPTIONS", "TEXT_ENCODING",
           "library_path", "ERROR_NOT_FOUND", "ERROR_NOT_DIRECTORY", "ERROR_DAMAGED", "ERROR_MIXED",
           "ERROR_INCOMPLETE_SAVE", "ERROR_OUT_OF_MEMORY", "ERROR_IO", "ERROR_INVALID_ARGUMENT",
           "ERROR_PREPROCESSOR", "ERROR_INTERNAL", "ERROR_BINARY"]
