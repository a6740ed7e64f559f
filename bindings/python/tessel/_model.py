"""An open model and its judgements."""

import ctypes
import os
from typing import Any, Dict, NamedTuple, Optional

from . import _locate, _native
from ._errors import TesselError

# Keyword names of judge(); "lambda" is a Python keyword, hence lambda_.
SETTINGS = tuple(name for name, _ in _native.Settings._fields_)


class Result(NamedTuple):
    """The verdict and the window that decided it (the first that passed)."""

    verdict: bool
    protected_score: float
    unprotected_score: float
    phrase: bytes  # text[phrase_offset:phrase_offset + phrase_length]
    phrase_offset: int
    phrase_length: int


def library_path(library: Optional[str] = None) -> str:
    """The library Model(..., library=library) loads, as a path or a loader name."""
    return _locate.library_path(library)


def _directory_argument(directory: Any) -> bytes:
    return os.fsencode(directory)


def _fill_settings(values: _native.Settings, given: Dict[str, Any]) -> None:
    unknown = set(given) - set(SETTINGS)
    if unknown:
        raise TypeError("unknown settings: " + ", ".join(sorted(unknown)))
    for name, value in given.items():
        setattr(values, name, int(bool(value)) if name == "log" else value)


def _text_argument(text: Any) -> bytes:
    if not isinstance(text, (bytes, bytearray, memoryview)):
        raise TypeError("text must be bytes")
    return bytes(text)


class Model:
    """An open model directory (p.bin, p.bin.2, u.bin, u.bin.2)."""

    def __init__(self, directory, library: Optional[str] = None):
        self._handle = None
        path = _directory_argument(directory)
        self._library = _native.load(_locate.library_path(library))
        error = ctypes.c_void_p()
        handle = self._library.tessel_open(path, ctypes.byref(error))
        if not handle:
            _native.raise_failure(self._library, error)
        self._handle = handle

    def judge(self, text: bytes, **settings) -> Result:
        """Judges Windows-1251 or ASCII bytes. Settings not given keep the
        tool's defaults: threshold_1=1.0, threshold_2=1.0, length=10,
        lambda_=0.0, factor=0.0, log=False."""
        text = _text_argument(text)
        values = _native.Settings()
        self._library.tessel_settings_default(ctypes.byref(values))
        _fill_settings(values, settings)
        result = _native.JudgeResult()
        error = ctypes.c_void_p()
        if not self._handle:
            raise TesselError("the model is closed")
        verdict = self._library.tessel_judge(self._handle, text, len(text), ctypes.byref(values),
                                             ctypes.byref(result), ctypes.byref(error))
        if verdict < 0:
            _native.raise_failure(self._library, error)
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
