#!/usr/bin/env bash
# Installs the package with pip as the README says (offline, the system's
# setuptools, a fresh virtual environment) and checks that it loads the
# library through the system's loader and calls it.
#   pip_test.sh PYTHON PACKAGE_SOURCE LIBRARY_DIR
set -euo pipefail
python=$1 source=$2 libdir=$3 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "pip test: $*" >&2; exit 1; }
if ! "$python" -c 'import setuptools, wheel, venv, pip' 2>/dev/null; then
  echo "skip: pip, setuptools, wheel or venv missing (scripts/setup.sh installs them)"
  exit 77
fi
# pip builds in the directory it is given: a copy keeps build/ and the
# egg-info out of the source tree.
mkdir "$work/package" "$work/model"
cp "$source/pyproject.toml" "$work/package/"
(cd "$source" && find tessel -name '*.py' -exec cp --parents {} "$work/package/" \;)
"$python" -m venv --without-pip --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install --no-build-isolation --no-index --quiet \
  --disable-pip-version-check "$work/package" >"$work/pip.log" 2>&1 || { cat "$work/pip.log" >&2; fail "pip install failed"; }
cd "$work"
unset TESSEL_LIBRARY
LD_LIBRARY_PATH=$libdir PYTHONDONTWRITEBYTECODE=1 "$work/venv/bin/python" - <<'PYTHON' || fail "the installed package does not work"
import sys
import tessel
assert tessel.__file__.startswith(sys.prefix + "/lib/"), tessel.__file__
assert tessel.library_path() == "libtessel.so.0", tessel.library_path()
try:
    tessel.Model("model")
except tessel.TesselError as error:
    assert "model/p.bin: No such file" in str(error), error
else:
    raise AssertionError("an empty model directory opened")
PYTHON
echo "pip test: ok"
