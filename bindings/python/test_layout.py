"""The ctypes structures against the C header: a small C program, written from
the structures' own fields, prints sizeof and offsetof of each as the C
compiler lays them out, and every one must equal what ctypes computes.

    python3 test_layout.py CC INCLUDE_DIR
"""

import ctypes
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tessel import _native  # noqa: E402


def structures():
    """(C type name, ctypes class) of every structure the header declares."""
    for value in vars(_native).values():
        if isinstance(value, type) and issubclass(value, ctypes.Structure) and value.__doc__ \
                and value.__doc__.startswith("tessel_") and "_fields_" in vars(value):
            yield re.match(r"tessel_\w*", value.__doc__).group(0), value


def main(compiler, include_dir):
    lines = ['#include <stddef.h>', '#include <stdio.h>', '#include "tessel.h"', "int main(void) {"]
    expected = []
    for c_name, struct in sorted(structures()):
        lines.append('  printf("%s %%zu\\n", sizeof(%s));' % (c_name, c_name))
        expected.append("%s %d" % (c_name, ctypes.sizeof(struct)))
        for name, _ in struct._fields_:
            member = name.rstrip("_")  # lambda_ is C's lambda
            lines.append('  printf("%s.%s %%zu\\n", offsetof(%s, %s));' % (c_name, member, c_name, member))
            expected.append("%s.%s %d" % (c_name, member, getattr(struct, name).offset))
    lines += ["  return 0;", "}"]
    if not expected:
        print("no structures found in tessel._native")
        return 1
    with tempfile.TemporaryDirectory() as work:
        source, program = os.path.join(work, "layout.c"), os.path.join(work, "layout")
        with open(source, "w") as out:
            out.write("\n".join(lines) + "\n")
        subprocess.run([compiler, "-std=c11", "-I", include_dir, source, "-o", program], check=True)
        actual = subprocess.run([program], check=True, capture_output=True, text=True).stdout.split("\n")[:-1]
    wrong = [(e, a) for e, a in zip(expected, actual) if e != a]
    for e, a in wrong:
        print("ctypes %s, C %s" % (e, a))
    print("%d sizes and offsets compared, %d differ" % (len(expected), len(wrong)))
    return 1 if wrong or len(actual) != len(expected) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
