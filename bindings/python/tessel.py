"""Judge texts against a tessel model from Python.

    import tessel
    with tessel.Model("/srv/model") as model:
        result = model.judge(open("mail.txt", "rb").read(), length=12)
        if result.verdict:
            print("protected:", result.phrase)

The binding uses the library's thread-safe tessel_ interface through ctypes:
any number of threads may judge against one Model, and the library runs
without holding the interpreter lock. The library is libtessel.so.0, or the
file named by the environment variable TESSEL_LIBRARY, or the library= path.
"""

import ctypes
import ctypes.util
import os
from typing import NamedTuple, Optional

__all__ = ["Model", "Result", "TesselError", "SETTINGS"]


class TesselError(Exception):
    """A model that cannot be opened or a judgement that failed."""


class Result(NamedTuple):
    """The verdict and the window that decided it (the first that passed)."""

    verdict: bool
    protected_score: float
    unprotected_score: float
    phrase: bytes  # text[phrase_offset:phrase_offset + phrase_length]
    phrase_offset: int
    phrase_length: int


class _Settings(ctypes.Structure):
    _fields_ = [
        ("threshold_1", ctypes.c_double),
        ("threshold_2", ctypes.c_double),
        ("length", ctypes.c_int32),
        ("lambda_", ctypes.c_double),
        ("factor", ctypes.c_double),
        ("log", ctypes.c_int),
    ]


class _Result(ctypes.Structure):
    _fields_ = [
        ("verdict", ctypes.c_int),
        ("protected_score", ctypes.c_double),
        ("unprotected_score", ctypes.c_double),
        ("phrase_offset", ctypes.c_size_t),
        ("phrase_length", ctypes.c_size_t),
    ]


# Keyword names of judge(); "lambda" is a Python keyword, hence lambda_.
SETTINGS = ("threshold_1", "threshold_2", "length", "lambda_", "factor", "log")


def _load(path: Optional[str]) -> ctypes.CDLL:
    path = path or os.environ.get("TESSEL_LIBRARY") or ctypes.util.find_library("tessel")
    library = ctypes.CDLL(path or "libtessel.so.0")
    library.tessel_open.restype = ctypes.c_void_p
    library.tessel_open.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p)]
    library.tessel_settings_default.restype = None
    library.tessel_settings_default.argtypes = [ctypes.POINTER(_Settings)]
    library.tessel_judge.restype = ctypes.c_int
    library.tessel_judge.argtypes = [
        ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t, ctypes.POINTER(_Settings),
        ctypes.POINTER(_Result), ctypes.POINTER(ctypes.c_void_p)]
    library.tessel_close.restype = None
    library.tessel_close.argtypes = [ctypes.c_void_p]
    library.tessel_free.restype = None
    library.tessel_free.argtypes = [ctypes.c_void_p]
    return library


def _message(library: ctypes.CDLL, error: ctypes.c_void_p) -> str:
    if not error.value:
        return "the call failed"
    text = ctypes.string_at(error.value).decode("utf-8", "replace")
    library.tessel_free(error)
    return text


class Model:
    """An open model directory (p.bin, p.bin.2, u.bin, u.bin.2)."""

    def __init__(self, directory, library: Optional[str] = None):
        self._library = _load(library)
        error = ctypes.c_void_p()
        self._handle = self._library.tessel_open(os.fsencode(directory), ctypes.byref(error))
        if not self._handle:
            raise TesselError(_message(self._library, error))

    def judge(self, text: bytes, **settings) -> Result:
        """Judges Windows-1251 or ASCII bytes. Settings not given keep the
        tool's defaults: threshold_1=1.0, threshold_2=1.0, length=10,
        lambda_=0.0, factor=0.0, log=False."""
        if not self._handle:
            raise TesselError("the model is closed")
        if not isinstance(text, (bytes, bytearray, memoryview)):
            raise TypeError("text must be bytes")
        text = bytes(text)
        unknown = set(settings) - set(SETTINGS)
        if unknown:
            raise TypeError("unknown settings: " + ", ".join(sorted(unknown)))
        values = _Settings()
        self._library.tessel_settings_default(ctypes.byref(values))
        for name, value in settings.items():
            setattr(values, name, int(bool(value)) if name == "log" else value)
        result = _Result()
        error = ctypes.c_void_p()
        verdict = self._library.tessel_judge(self._handle, text, len(text), ctypes.byref(values),
                                             ctypes.byref(result), ctypes.byref(error))
        if verdict < 0:
            raise TesselError(_message(self._library, error))
        start, size = result.phrase_offset, result.phrase_length
        return Result(bool(verdict), result.protected_score, result.unprotected_score,
                      text[start:start + size], start, size)

    def close(self) -> None:
        """Releases the model; no judge call may be running on it."""
        if self._handle:
            self._library.tessel_close(self._handle)
            self._handle = None

    def __enter__(self) -> "Model":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def __del__(self):
        if getattr(self, "_handle", None):
            self.close()
