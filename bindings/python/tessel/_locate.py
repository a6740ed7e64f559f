"""Which libtessel.so the package loads."""

import ctypes.util
import os
from typing import Callable, Mapping, Optional

LIBRARY_NAME = "libtessel.so.0"
LIBRARY_VARIABLE = "TESSEL_LIBRARY"
PACKAGE_DIR = os.path.dirname(os.path.abspath(__file__))


def _installed_dir() -> Optional[str]:
    # _paths.py is installed by "cmake --install" only: the library directory
    # relative to the installed package, so that a moved prefix still works.
    try:
        from . import _paths
    except ImportError:
        return None
    return _paths.LIBRARY_DIR


def installed_library_dir() -> Optional[str]:
    """The library directory of the prefix the package was installed from,
    or None."""
    installed = _installed_dir()
    return installed and os.path.normpath(os.path.join(PACKAGE_DIR, installed))


def _checkout_library(package_dir: str) -> Optional[str]:
    """build/libtessel.so.0 of the source checkout holding bindings/python/tessel."""
    root = os.path.dirname(os.path.dirname(os.path.dirname(package_dir)))
    if not os.path.isfile(os.path.join(root, "embed", "tessel.h")):
        return None
    return os.path.join(root, "build", LIBRARY_NAME)


def library_path(explicit: Optional[str] = None,
                 environ: Mapping[str, str] = os.environ,
                 package_dir: str = PACKAGE_DIR,
                 installed_dir: Optional[str] = None,
                 find_library: Callable[[str], Optional[str]] = ctypes.util.find_library) -> str:
    """The path or loader name to open. A library named explicitly is used
    even when it cannot be loaded: falling back to another would hide the
    mistake."""
    named = explicit or environ.get(LIBRARY_VARIABLE)
    if named:
        return named
    if installed_dir is None:
        installed_dir = _installed_dir()
    for path in (_checkout_library(package_dir),
                 installed_dir and os.path.join(package_dir, installed_dir, LIBRARY_NAME)):
        if path and os.path.isfile(path):
            return os.path.normpath(path)
    return find_library("tessel") or LIBRARY_NAME
