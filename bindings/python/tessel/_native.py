"""The C interface as ctypes sees it: its structures, the signature of every
function the package calls, and the loaded libraries."""

import ctypes
import threading
from typing import Dict

from ._errors import LibraryNotFoundError, TesselError


class Settings(ctypes.Structure):
    """tessel_settings_t."""

    _fields_ = [
        ("threshold_1", ctypes.c_double),
        ("threshold_2", ctypes.c_double),
        ("length", ctypes.c_int32),
        ("lambda_", ctypes.c_double),
        ("factor", ctypes.c_double),
        ("log", ctypes.c_int),
    ]


class JudgeResult(ctypes.Structure):
    """tessel_result_t."""

    _fields_ = [
        ("verdict", ctypes.c_int),
        ("protected_score", ctypes.c_double),
        ("unprotected_score", ctypes.c_double),
        ("phrase_offset", ctypes.c_size_t),
        ("phrase_length", ctypes.c_size_t),
    ]


class _Versioned(ctypes.Structure):
    """A struct whose first member is its size: every member is 8 bytes wide,
    so the layout is the header's without padding."""

    @classmethod
    def filled(cls, init) -> "_Versioned":
        """One with the library's defaults (init is its *_init function)."""
        value = cls()
        init(ctypes.byref(value), ctypes.sizeof(cls))
        return value


class OpenOptions(_Versioned):
    """tessel_open_options_t."""

    _fields_ = [
        ("size", ctypes.c_size_t),
        ("mode", ctypes.c_int64),
        ("shingle_length", ctypes.c_int64),
        ("shingle_shift", ctypes.c_int64),
        ("stop_words", ctypes.c_char_p),
        ("exclusive_pairs", ctypes.c_int64),
        ("encoding", ctypes.c_int64),
        ("upper_case", ctypes.c_int64),
        ("sources", ctypes.c_int64),
    ]


class JudgeOptions(_Versioned):
    """tessel_judge_options_t; lambda is a Python keyword, hence lambda_."""

    _fields_ = [
        ("size", ctypes.c_size_t),
        ("formula", ctypes.c_int64),
        ("threshold_1", ctypes.c_double),
        ("threshold_2", ctypes.c_double),
        ("length", ctypes.c_int64),
        ("lambda_", ctypes.c_double),
        ("lambda0", ctypes.c_double),
        ("factor", ctypes.c_double),
        ("log", ctypes.c_int64),
        ("max_threshold", ctypes.c_int64),
        ("size_threshold", ctypes.c_int64),
        ("robust_threshold", ctypes.c_double),
        ("converters", ctypes.POINTER(ctypes.c_char_p)),
        ("converter_timeout", ctypes.c_double),
        ("judge_binary", ctypes.c_int64),
        ("score", ctypes.c_int64),
    ]


class Verdict(_Versioned):
    """tessel_verdict_t."""

    _fields_ = [
        ("size", ctypes.c_size_t),
        ("verdict", ctypes.c_int64),
        ("protected_count", ctypes.c_int64),
        ("unprotected_count", ctypes.c_int64),
        ("common_count", ctypes.c_int64),
        ("distinct", ctypes.c_int64),
        ("scaled", ctypes.c_int64),
        ("protected_score", ctypes.c_double),
        ("unprotected_score", ctypes.c_double),
        ("phrase_offset", ctypes.c_size_t),
        ("phrase_length", ctypes.c_size_t),
        ("error_code", ctypes.c_int64),
        ("score", ctypes.c_double),
        ("source", ctypes.c_int64),
        ("source_shared", ctypes.c_int64),
        ("source_name", ctypes.c_char_p),
    ]


class Item(ctypes.Structure):
    """tessel_item_t: a path, or a buffer when path is NULL."""

    _fields_ = [
        ("size", ctypes.c_size_t),
        ("path", ctypes.c_char_p),
        ("text", ctypes.c_char_p),
        ("length", ctypes.c_size_t),
    ]


MODES = {"shingles": 0, "language_model": 1, "robust": 2}
# The code of a document skipped as not text (TESSEL_ERROR_BINARY).
ERROR_BINARY = 11
ENCODINGS = {"auto": 0, "utf-8": 1, "cp1251": 2}
# The open options' default: the rule the model's description records.
ENCODING_OF_MODEL = 3

_ERRPTR = ctypes.POINTER(ctypes.c_void_p)

# Result and argument types of every function called; a new entry point is
# one more line here.
SIGNATURES = {
    "tessel_open": (ctypes.c_void_p, [ctypes.c_char_p, _ERRPTR]),
    "tessel_settings_default": (None, [ctypes.POINTER(Settings)]),
    "tessel_judge": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t,
                                    ctypes.POINTER(Settings), ctypes.POINTER(JudgeResult),
                                    _ERRPTR]),
    "tessel_open_options_init": (None, [ctypes.POINTER(OpenOptions), ctypes.c_size_t]),
    "tessel_judge_options_init": (None, [ctypes.POINTER(JudgeOptions), ctypes.c_size_t]),
    "tessel_verdict_init_sized": (None, [ctypes.POINTER(Verdict), ctypes.c_size_t]),
    "tessel_open_with": (ctypes.c_void_p, [ctypes.c_char_p, ctypes.POINTER(OpenOptions), _ERRPTR]),
    "tessel_judge_text": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t,
                                         ctypes.POINTER(JudgeOptions), ctypes.POINTER(Verdict),
                                         _ERRPTR]),
    "tessel_judge_file": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_char_p,
                                         ctypes.POINTER(JudgeOptions), ctypes.POINTER(Verdict),
                                         _ERRPTR]),
    # The verdicts and errors are arrays: passed as plain addresses.
    "tessel_judge_many": (ctypes.c_long, [ctypes.c_void_p, ctypes.POINTER(Item), ctypes.c_size_t,
                                          ctypes.POINTER(JudgeOptions), ctypes.c_void_p,
                                          ctypes.c_void_p, ctypes.c_int, _ERRPTR]),
    "tessel_judge_buffer": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t,
                                           ctypes.c_char_p, ctypes.POINTER(JudgeOptions),
                                           ctypes.POINTER(Verdict), _ERRPTR]),
    "tessel_close": (None, [ctypes.c_void_p]),
    "tessel_free": (None, [ctypes.c_void_p]),
    "tessel_last_error_code": (ctypes.c_int, []),
}

_libraries: Dict[str, ctypes.CDLL] = {}
_libraries_lock = threading.Lock()


def _declare(library: ctypes.CDLL, path: str) -> None:
    for name, (restype, argtypes) in SIGNATURES.items():
        try:
            function = getattr(library, name)
        except AttributeError:
            raise LibraryNotFoundError(f"{path} does not export {name}: is it libtessel?") from None
        function.restype = restype
        function.argtypes = argtypes


def load(path: str) -> ctypes.CDLL:
    """The library at path (a file or a name for the loader), declared once."""
    with _libraries_lock:
        library = _libraries.get(path)
        if library is None:
            try:
                library = ctypes.CDLL(path)
            except OSError as error:
                raise LibraryNotFoundError(f"cannot load the tessel library: {error}") from error
            _declare(library, path)
            _libraries[path] = library
        return library


def take_message(library: ctypes.CDLL, error: ctypes.c_void_p) -> str:
    """The message a failed call stored through its errptr, which is freed."""
    if not error.value:
        return "the call failed"
    text = ctypes.string_at(error.value).decode("utf-8", "replace")
    library.tessel_free(error)
    error.value = None
    return text


def raise_failure(library: ctypes.CDLL, error: ctypes.c_void_p) -> None:
    """Raises what the call that just failed on this thread stored."""
    code = library.tessel_last_error_code()
    raise TesselError(take_message(library, error), code)
