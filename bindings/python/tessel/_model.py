"""An open model and its judgements."""

import contextlib
import ctypes
import dataclasses
import operator
import os
import threading
from typing import Any, Dict, Iterable, List, NamedTuple, Optional, Tuple

from . import _locate, _native, _results
from ._errors import TesselError

# The settings tessel_judge takes, which judge() on a Model opened without
# options passes to it as before; "lambda" is a Python keyword, hence lambda_.
_FIRST_FORMULA_SETTINGS = tuple(name for name, _ in _native.Settings._fields_)
# Keyword names of judge(), judge_file() and judge_files().
SETTINGS = _FIRST_FORMULA_SETTINGS + ("formula", "lambda0", "max_threshold", "size_threshold",
                                      "robust_threshold", "converters", "converter_timeout",
                                      "judge_binary", "score")
# Keyword names of Model() that open it with tessel_open_with.
OPEN_OPTIONS = ("mode", "shingle_length", "shingle_shift", "stop_words", "exclusive_pairs",
                "encoding", "upper_case", "sources")
# converters=True: the wrappers of examples/pre, by the extensions and media
# types they take (pdftotext, docx2txt and odt2txt from Debian do the work).
_WRAPPERS = {".pdf": "pdf2text", "application/pdf": "pdf2text",
             ".docx": "docx2text",
             "application/vnd.openxmlformats-officedocument.wordprocessingml.document": "docx2text",
             ".odt": "odt2text", "application/vnd.oasis.opendocument.text": "odt2text"}
# How a str text becomes bytes for a model that reads bytes as they are
# (encoding="cp1251", or a model trained so, or Model(directory) of a model
# without a description): one byte per character, "?" (a separator, as every
# character outside Windows-1251 would be) for the unencodable. A model
# reading UTF-8 ("auto", the tool's default, or "utf-8") is given UTF-8, and
# its phrase offsets are turned back into indexes of the str.
TEXT_ENCODING = "cp1251"
# The file in which a model directory describes how it was trained.
DESCRIPTION_FILE = b"tessel.model"
# Opened with options but without a mode, a Model is what Model(directory)
# has always been: a language model.
DEFAULT_MODE = "language_model"

_INT32 = (-2**31, 2**31 - 1)
_INT64 = (-2**63, 2**63 - 1)


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


def _path_argument(path: Any, what: str) -> bytes:
    encoded = os.fsencode(path)
    # The C side would stop at the NUL and open another file.
    if b"\0" in encoded:
        raise ValueError(f"embedded null byte in {what}")
    return encoded


def _integer(name: str, value: Any, bounds: Tuple[int, int]) -> int:
    # ctypes would keep the low bits silently: 2**32 + 10 would become 10.
    number = operator.index(value)
    if not bounds[0] <= number <= bounds[1]:
        raise ValueError(f"{name} must lie in [{bounds[0]}, {bounds[1]}], not {number}")
    return number


def _fill(values: ctypes.Structure, given: Dict[str, Any], names, flags=("log",)) -> None:
    """Sets the named members, checked as the struct's C types need."""
    unknown = set(given) - set(names)
    if unknown:
        raise TypeError("unknown settings: " + ", ".join(sorted(unknown)))
    kinds = dict(type(values)._fields_)
    for name, value in given.items():
        if name in flags:
            value = int(bool(value))
        elif kinds[name] is ctypes.c_int32:
            value = _integer(name, value, _INT32)
        elif kinds[name] is ctypes.c_int64:
            value = _integer(name, value, _INT64)
        setattr(values, name, value)


def wrappers_dir() -> Optional[str]:
    """Where the examples/pre wrappers are: the source checkout's, or the
    installed share/tessel/pre; None when neither is there."""
    here = os.path.dirname(os.path.abspath(__file__))
    installed = _locate.installed_library_dir()
    checkout = os.path.dirname(os.path.dirname(os.path.dirname(here)))  # bindings/python/tessel
    candidates = [os.path.join(checkout, "examples", "pre")]
    if installed:  # PREFIX/lib or PREFIX/lib/x86_64-linux-gnu
        candidates += [os.path.join(installed, up, "share", "tessel", "pre") for up in ("..", "../..")]
    for candidate in candidates:
        if os.path.isfile(os.path.join(candidate, "pdf2text")):
            return os.path.normpath(candidate)
    return None


def _converters(given: Any):
    """The NULL-ended array of "KEY=PROGRAM" of a dict, or of True (the
    wrappers); None for none."""
    if given is None or given is False:
        return None
    if given is True:
        folder = wrappers_dir()
        if folder is None:
            raise TesselError("converters=True: the examples/pre wrappers were not found")
        given = {key: os.path.join(folder, name) for key, name in _WRAPPERS.items()}
    entries = [os.fsencode(key) + b"=" + os.fsencode(program) for key, program in given.items()]
    for entry in entries:
        if b"\0" in entry:
            raise ValueError("embedded null byte in a converter")
    return (ctypes.c_char_p * (len(entries) + 1))(*entries, None)


def _as_str_indexes(result, data: bytes):
    """A phrase found in the UTF-8 form of a str, in indexes of the str."""
    start, size = result.phrase_offset, result.phrase_length
    offset = len(data[:start].decode("utf-8", "replace"))
    phrase = data[start:start + size].decode("utf-8", "replace")
    return dataclasses.replace(result, phrase_offset=offset, phrase_length=len(phrase),
                               phrase=phrase)


def _described_encoding(directory: bytes) -> Optional[str]:
    """The encoding rule a model's description records, as the library reads
    it: None without a description; "cp1251" for one without the line."""
    try:
        with open(os.path.join(directory, DESCRIPTION_FILE), "rb") as description:
            lines = description.read(1 << 16).decode("utf-8", "replace").splitlines()
    except OSError:
        return None
    found = "cp1251"
    for line in lines:
        key, _, value = line.rpartition(" ")
        if key == "encoding":
            found = value
    return found


def _text_argument(text: Any, encoding: str):
    """The bytes to judge, and what the phrase is sliced from."""
    if isinstance(text, str):
        return text.encode(encoding, "replace"), text
    if not isinstance(text, (bytes, bytearray, memoryview)):
        raise TypeError("text must be bytes or str")
    data = bytes(text)
    return data, data


def _open_options(library: ctypes.CDLL, given: Dict[str, Any]) -> _native.OpenOptions:
    """The open options struct (which keeps the bytes it points to)."""
    unknown = set(given) - set(OPEN_OPTIONS)
    if unknown:
        raise TypeError("unknown options: " + ", ".join(sorted(unknown)))
    given = dict(given)
    mode = given.pop("mode", DEFAULT_MODE)
    if mode not in _native.MODES:
        raise ValueError(f"mode must be one of {', '.join(_native.MODES)}, not {mode!r}")
    stop_words = given.pop("stop_words", None)
    if stop_words is not None:
        stop_words = _path_argument(stop_words, "the stop-word file")
    encoding = given.pop("encoding", None)
    if encoding is not None and encoding not in _native.ENCODINGS:
        raise ValueError(f"encoding must be one of {', '.join(_native.ENCODINGS)}, not {encoding!r}")
    options = _native.OpenOptions.filled(library.tessel_open_options_init)
    _fill(options, given, OPEN_OPTIONS, flags=("exclusive_pairs", "upper_case"))
    # Not given: the library takes the rule from the model's description.
    options.encoding = _native.ENCODINGS.get(encoding, _native.ENCODING_OF_MODEL)
    options.mode = _native.MODES[mode]
    options.stop_words = stop_words
    return options


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
    """An open model directory.

    Model(directory) opens the four files of a language model with
    tessel_open, as it always has; judge() then returns a Result. Given any
    of OPEN_OPTIONS, it opens with tessel_open_with: mode ("language_model",
    the default, or "shingles", which needs p.bin and u.bin only),
    shingle_length, shingle_shift, stop_words (a file), exclusive_pairs
    (the tool's --lm-sub), encoding and upper_case, the text options the
    model was trained with; judge() then returns a ShingleVerdict or a
    LanguageModelVerdict. Without an encoding, texts are read by the rule
    the model's description records (the tool's --encoding at training);
    a model without a description is read byte for byte by Model(directory)
    and by "auto" with options."""

    def __init__(self, directory, library: Optional[str] = None, **options):
        self._handle = None
        path = _path_argument(directory, "the model directory")
        self._library = _native.load(_locate.library_path(library))
        self._typed = bool(options)
        self.mode = options.get("mode", DEFAULT_MODE)
        # The rule the handle reads texts by: the one given, else the
        # description's, else the default of the call that opens it.
        rule = options.get("encoding") or _described_encoding(path)
        if rule is None:
            rule = "auto" if options else TEXT_ENCODING
        self.encoding = TEXT_ENCODING if rule == "cp1251" else "utf-8"
        error = ctypes.c_void_p()
        if self._typed:
            values = _open_options(self._library, options)
            handle = self._library.tessel_open_with(path, ctypes.byref(values), ctypes.byref(error))
        else:
            handle = self._library.tessel_open(path, ctypes.byref(error))
        if not handle:
            _native.raise_failure(self._library, error)
        self._handle = _SharedHandle(handle, self._library.tessel_close)

    def judge(self, text, name=None, **settings):
        """Judges Windows-1251 or ASCII bytes, or a str (encoded as
        TEXT_ENCODING says). Settings not given keep the tool's defaults:
        threshold_1=1.0, threshold_2=1.0, length=10, lambda_=0.0, factor=0.0,
        log=False, formula=1, lambda0=0.0, max_threshold=10,
        size_threshold=100. A value outside the C interface's integer range
        raises ValueError.

        On a Model opened without options the result is a Result, with
        tessel_judge's verdict and scores when only its settings are given.

        Given a name (a file name, or a media type such as "application/pdf";
        "" for neither), the bytes are read as a document is
        (tessel_judge_buffer): through the converter its name chooses, and
        a document that is not text gives a Skipped."""
        data, source = _text_argument(text, self.encoding)
        if name is None and not self._typed and set(settings) <= set(_FIRST_FORMULA_SETTINGS):
            return self._judge_first_formula(data, source, settings)
        options = self._judge_options(settings)
        found = _native.Verdict.filled(self._library.tessel_verdict_init_sized)
        error = ctypes.c_void_p()
        with self._calling() as handle:
            if name is None:
                verdict = self._library.tessel_judge_text(handle, data, len(data),
                                                          ctypes.byref(options),
                                                          ctypes.byref(found), ctypes.byref(error))
            else:
                verdict = self._library.tessel_judge_buffer(
                    handle, data, len(data), _path_argument(name, "the name"),
                    ctypes.byref(options), ctypes.byref(found), ctypes.byref(error))
        if verdict < 0:
            skipped = self._skipped(name, error)
            if skipped is not None:
                return skipped
            _native.raise_failure(self._library, error)
        result = _results.typed(found, self.mode, source)
        if self.encoding == "utf-8" and isinstance(text, str) and self._language_model():
            result = _as_str_indexes(result, data)
        if self._typed:
            return result
        return Result(result.verdict, result.protected_score, result.unprotected_score,
                      result.phrase, result.phrase_offset, result.phrase_length)

    def judge_file(self, path, **settings):
        """Judges a file, read as the tool reads data files; the settings as
        for judge(). Returns a ShingleVerdict, a LanguageModelVerdict
        (phrase None) or a RobustVerdict, or a Skipped for a document that
        is not text (a NUL byte in its first 8 KiB) and has no converter;
        a file that cannot be read, or whose converter fails, raises
        TesselError."""
        encoded = _path_argument(path, "the path")
        options = self._judge_options(settings)
        found = _native.Verdict.filled(self._library.tessel_verdict_init_sized)
        error = ctypes.c_void_p()
        with self._calling() as handle:
            verdict = self._library.tessel_judge_file(handle, encoded, ctypes.byref(options),
                                                      ctypes.byref(found), ctypes.byref(error))
        if verdict < 0:
            skipped = self._skipped(path, error)
            if skipped is not None:
                return skipped
            _native.raise_failure(self._library, error)
        return _results.typed(found, self.mode)

    def _skipped(self, name, error: ctypes.c_void_p):
        """A Skipped when the call that just failed skipped a binary document."""
        if self._library.tessel_last_error_code() != _native.ERROR_BINARY:
            return None
        return _results.Skipped(name, _native.take_message(self._library, error))

    def judge_files(self, paths: Iterable, threads: int = 0, **settings) -> List:
        """Judges the files on up to `threads` threads of the library (0: one
        per processor) and returns one result per path, in order: a verdict
        as judge_file gives (a Skipped for a binary document), or a
        JudgeError for a file that could not be read, so that one such file
        does not lose the others' verdicts."""
        paths = list(paths)
        options = self._judge_options(settings)
        threads = _integer("threads", threads, (0, _INT32[1]))
        results: List[Any] = [None] * len(paths)
        batch = []
        for i, path in enumerate(paths):
            try:
                batch.append((i, _path_argument(path, "the path")))
            except ValueError as error:
                results[i] = _results.JudgeError(path, str(error))
        if batch:
            self._judge_batch(batch, options, threads, paths, results)
        return results

    def _judge_batch(self, batch, options, threads, paths, results) -> None:
        """Fills results[i] for each (i, encoded path) of the batch."""
        count = len(batch)
        items = (_native.Item * count)(
            *[_native.Item(ctypes.sizeof(_native.Item), path, None, 0) for _, path in batch])
        verdicts = (_native.Verdict * count)()
        for verdict in verdicts:
            self._library.tessel_verdict_init_sized(ctypes.byref(verdict), ctypes.sizeof(verdict))
        errors = (ctypes.c_void_p * count)()
        refusal = ctypes.c_void_p()
        with self._calling() as handle:
            failed = self._library.tessel_judge_many(handle, items, count, ctypes.byref(options),
                                                     verdicts, errors, threads,
                                                     ctypes.byref(refusal))
        if failed < 0:
            _native.raise_failure(self._library, refusal)
        for (i, _), verdict, error in zip(batch, verdicts, errors):
            if error:
                message = _native.take_message(self._library, ctypes.c_void_p(error))
                if verdict.error_code == _native.ERROR_BINARY:
                    results[i] = _results.Skipped(paths[i], message)
                else:
                    results[i] = _results.JudgeError(paths[i], message, verdict.error_code)
            else:
                results[i] = _results.typed(verdict, self.mode)

    def _judge_first_formula(self, data: bytes, source, settings: Dict[str, Any]) -> Result:
        values = _native.Settings()
        self._library.tessel_settings_default(ctypes.byref(values))
        _fill(values, settings, _FIRST_FORMULA_SETTINGS)
        result = _native.JudgeResult()
        error = ctypes.c_void_p()
        with self._calling() as handle:
            verdict = self._library.tessel_judge(handle, data, len(data), ctypes.byref(values),
                                                 ctypes.byref(result), ctypes.byref(error))
        if verdict < 0:
            _native.raise_failure(self._library, error)
        start, size = result.phrase_offset, result.phrase_length
        if isinstance(source, str) and self.encoding == "utf-8":
            # Offsets in the UTF-8 bytes, turned into indexes of the str.
            start = len(data[:start].decode("utf-8", "replace"))
            size = len(data[result.phrase_offset:result.phrase_offset + size].decode("utf-8", "replace"))
        return Result(bool(verdict), result.protected_score, result.unprotected_score,
                      source[start:start + size], start, size)

    def _judge_options(self, settings: Dict[str, Any]) -> _native.JudgeOptions:
        options = _native.JudgeOptions.filled(self._library.tessel_judge_options_init)
        settings = dict(settings)
        converters = _converters(settings.pop("converters", None))
        _fill(options, settings, SETTINGS, flags=("log", "judge_binary", "score"))
        if converters is not None:
            options.converters = converters
            options._converters = converters  # kept alive with the struct
        return options

    def _language_model(self) -> bool:
        return self.mode == "language_model"

    @contextlib.contextmanager
    def _calling(self):
        """The C handle, held open for one call."""
        if self._handle is None:
            raise TesselError("the model is closed")
        handle = self._handle.enter()
        try:
            yield handle
        finally:
            self._handle.leave()

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
