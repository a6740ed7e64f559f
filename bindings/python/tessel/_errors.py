"""The exceptions of the package."""


# The kinds of failure, as tessel_last_error_code() gives them (tessel.h's
# TESSEL_ERROR_ values).
ERROR_NOT_FOUND = 1
ERROR_NOT_DIRECTORY = 2
ERROR_DAMAGED = 3
ERROR_MIXED = 4
ERROR_INCOMPLETE_SAVE = 5
ERROR_OUT_OF_MEMORY = 6
ERROR_IO = 7
ERROR_INVALID_ARGUMENT = 8
ERROR_PREPROCESSOR = 9
ERROR_INTERNAL = 10
ERROR_BINARY = 11  # a document skipped as not text


class TesselError(Exception):
    """A model that cannot be opened, a judgement that failed or a closed model.

    code is the library's kind of failure (one of the ERROR_ values), so that
    a missing model (ERROR_NOT_FOUND) is told from a damaged one
    (ERROR_DAMAGED) without reading the message; 0 for failures the package
    finds itself (a closed model)."""

    def __init__(self, message: str, code: int = 0):
        super().__init__(message)
        self.code = code


class LibraryNotFoundError(TesselError, OSError):
    """libtessel.so could not be loaded (an OSError, as ctypes reports it)."""
