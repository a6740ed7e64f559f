#!/usr/bin/env python3
"""Judges one document through the C interface as a host does, with the
library TESSEL_LIBRARY names, and prints the verdict: for bench/memory.sh and
the case that bounds a host's memory.

Usage: judge_host.py CALL MODEL_DIR MODE DOCUMENT [NAME=VALUE ...]

CALL is file (tessel_judge_file), text (tessel_judge_text on the document's
bytes), judge (tessel_judge) or process (_processShingles); MODE is shingles
or language_model (judge and process open a language model whatever it
says); NAME=VALUE are judge settings of the Python binding (formula=2,
log=1, ...)."""

import ctypes
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "bindings",
                                "python"))
import tessel  # noqa: E402


def setting(text):
    name, value = text.split("=", 1)
    return name, float(value) if "." in value or "e" in value else int(value)


def main(call, directory, mode, document, *given):
    settings = dict(setting(text) for text in given)
    if call == "process":
        library = ctypes.CDLL(os.environ["TESSEL_LIBRARY"])
        library._openShingles.restype = ctypes.c_void_p
        library._openShingles.argtypes = [ctypes.c_char_p]
        library._processShingles.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        library._closeShingles.argtypes = [ctypes.c_void_p]
        handle = library._openShingles(directory.encode())
        with open(document, "rb") as text:
            data = text.read()
        print(library._processShingles(handle, data, len(data)))
        library._closeShingles(handle)
        return
    if call == "judge":
        with tessel.Model(directory) as model, open(document, "rb") as text:
            print(int(model.judge(text.read(), **settings).verdict))
        return
    with tessel.Model(directory, mode=mode) as model:
        if call == "file":
            print(int(model.judge_file(document, **settings).verdict))
        else:
            with open(document, "rb") as text:
                print(int(model.judge(text.read(), **settings).verdict))


if __name__ == "__main__":
    main(*sys.argv[1:])
