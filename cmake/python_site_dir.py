"""Prints where, relative to PREFIX, this Python finds packages installed
under PREFIX: the package directory of its search path that lies in PREFIX
(Debian: lib/python3/dist-packages for /usr, lib/python3.X/dist-packages for
/usr/local), else its own scheme's directory for another prefix.

    python3 python_site_dir.py PREFIX
"""

import os
import sys
import sysconfig
from typing import Iterable


def site_dir(prefix: str, search_path: Iterable[str] = tuple(sys.path)) -> str:
    prefix = os.path.normpath(prefix)
    for entry in search_path:
        relative = os.path.relpath(entry, prefix) if entry.startswith("/") else ".."
        parts = relative.split(os.sep)
        # /usr/local/lib/... lies in /usr as well, but is not /usr's directory.
        if parts[0] in ("lib", "lib64") and parts[-1] in ("dist-packages", "site-packages"):
            return relative
    scheme = "deb_system" if "deb_system" in sysconfig.get_scheme_names() else "posix_prefix"
    purelib = sysconfig.get_path("purelib", scheme, vars={"base": prefix, "platbase": prefix})
    return os.path.relpath(purelib, prefix)


if __name__ == "__main__":
    print(site_dir(sys.argv[1]))
