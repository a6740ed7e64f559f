"""An open model and its judgements."""

import ctypes
import operator
import os
import threading
from typing import Any, Dict, NamedTuple, Optional

from . import _locate, _native
from ._errors import TesselError

# Keyword names of judge(); "lambda" is a Python keyword, hence lambda_.
SETTINGS = tuple(name for name, _ in _native.Settings._fields_)

_INT32 = (-2**31, 2**31 - 1)


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
    path = os.fsencode(directory)
    # The C side would stop at the NUL and open another directory.
    if b"\0" in path:
        raise ValueError("embedded null byte in the model directory")
    return path


def _int32(name: str, value: Any) -> int:
    # ctypes would keep the low 32 bits silently: 2**32 + 10 would become 10.
    number = operator.index(value)
    if not _INT32[0] <= number <= _INT32[1]:
        raise ValueError(f"{name} must lie in [{_INT32[0]}, {_INT32[1]}], not {number}")
    return number


def _fill_settings(values: _native.Settings, given: Dict[str, Any]) -> None:
    unknown = set(given) - set(SETTINGS)
    if unknown:
        raise TypeError("unknown settings: " + ", ".join(sorted(unknown)))
    kinds = dict(_native.Settings._fields_)
    for name, value in given.items():
        if name == "log":
            value = int(bool(value))
        elif kinds[name] is ctypes.c_int32:
            value = _int32(name, value)
        setattr(values, name, value)


def _text_argument(text: Any) -> bytes:
    if not isinstance(text, (bytes, bytearray, memoryview)):
        raise TypeError("text must be bytes")
    return bytes(text)


class _SharedHandle:
    """A C handle that calls share: close frees it once the calls running on
    it have returned, and refuses the calls that come after."""

    def __init__(self, value: int, free):
        self._value = value
        self._free = free
        self._running = 0
        self._closed = False
        self._changed = threading.Condition(threading.Lock())

    def enter(self) -> int:
        """The handle, for one call that must leave() when it returns."""
        with self._changed:
            if self._closed:
                raise TesselError("the model is closed")
            self._running += 1
            return self._value

    def leave(self) -> None:
        with self._changed:
            self._running -= 1
            if self._closed and self._running == 0:
                self._changed.notify_all()

    def close(self) -> None:
        with self._changed:
            self._closed = True
            self._changed.wait_for(lambda: self._running == 0)
            if self._value:
                self._free(self._value)
                self._value = None


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
        self._handle = _SharedHandle(handle, self._library.tessel_close)

    def judge(self, text: bytes, **settings) -> Result:
        """Judges Windows-1251 or ASCII bytes. Settings not given keep the
        tool's defaults: threshold_1=1.0, threshold_2=1.0, length=10,
        lambda_=0.0, factor=0.0, log=False. A length outside the 32-bit
        range of the C interface raises ValueError."""
        text = _text_argument(text)
        values = _native.Settings()
        self._library.tessel_settings_default(ctypes.byref(values))
        _fill_settings(values, settings)
        result = _native.JudgeResult()
        error = ctypes.c_void_p()
        handle = self._enter()
        try:
            verdict = self._library.tessel_judge(handle, text, len(text), ctypes.byref(values),
                                                 ctypes.byref(result), ctypes.byref(error))
        finally:
            self._handle.leave()
        if verdict < 0:
            _native.raise_failure(self._library, error)
        start, size = result.phrase_offset, result.phrase_length
        return Result(bool(verdict), result.protected_score, result.unprotected_score,
                      text[start:start + size], start, size)

    def _enter(self) -> int:
        if self._handle is None:
            raise TesselError("the model is closed")
        return self._handle.enter()

    def close(self) -> None:
        """Releases the model once the judge calls running on it have
        returned; calls made afterwards raise TesselError."""
        if self._handle is not None:
            self._handle.close()

    def __enter__(self) -> "Model":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def __del__(self):
        # Nothing can be running: a running call holds a reference.
        if getattr(self, "_handle", None) is not None:
            self.close()
