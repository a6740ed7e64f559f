"""The exceptions of the package."""


class TesselError(Exception):
    """A model that cannot be opened, a judgement that failed or a closed model."""


class LibraryNotFoundError(TesselError, OSError):
    """libtessel.so could not be loaded (an OSError, as ctypes reports it)."""
