#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds hosts against the
# installed tree, through pkg-config and through find_package(tessel).
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix model=$work/model
unset LD_LIBRARY_PATH TESSEL_LIBRARY
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "install test: $*" >&2; exit 1; }
libdir=$(cd "$(dirname "$(find "$prefix" -name tessel.pc)")/.." && pwd)
for file in bin/tessel bin/tessel-sets include/tessel.h share/man/man1/tessel.1 \
            share/man/man1/tessel-sets.1 share/man/man3/tessel.3 \
            "${libdir#$prefix/}/cmake/tessel/tesselConfig.cmake"; do
  [ -e "$prefix/$file" ] || fail "missing $file"
done
[ "$(objdump -p "$libdir/libtessel.so" | awk '$1 == "SONAME" { print $2 }')" = libtessel.so.0 ] &&
  [ -L "$libdir/libtessel.so.0" ] || fail "SONAME or its link is wrong"
# The installed programs find the installed library by themselves.
"$prefix/bin/tessel-sets" --help >/dev/null || fail "installed tessel-sets does not run"
man -l "$prefix/share/man/man1/tessel.1" >/dev/null 2>&1 || [ ! -x "$(command -v man)" ] ||
  fail "tessel.1 does not format"
# The sweeps read the count files of the prefix installed to, not of the
# configured one.
mkdir -p "$prefix/share/tessel/experiments" "$work/sweep" "$model"
cp "$source"/tests/data/experiments/* "$prefix/share/tessel/experiments/"
(cd "$work/sweep" && "$prefix/bin/tessel" -z 0.02) | grep -qx "\[C2\] Fmax: 0.170358; len_max: 3; col_max: B1; threshold_max: 2" ||
  fail "the sweep does not read the installed count files"
# A small model trained and saved by the installed tool.
printf 'alpha beta gamma delta alpha beta gamma delta.\n' >"$model/prot.txt"
printf 'one two three four one two three four.\n' >"$model/plain.txt"
(cd "$model" && "$prefix/bin/tessel" -p prot.txt -u plain.txt -o 1 -v >/dev/null 2>&1)
# The example host built against the installed tree through pkg-config and
# through find_package(tessel) agrees with the tool's own verdicts.
export PKG_CONFIG_PATH=$libdir/pkgconfig
cc -Wall -Werror -DTESSEL_HOST_LINKED -o "$work/host" "$source/examples/host.c" \
  $(pkg-config --cflags --libs tessel) -Wl,-rpath,"$libdir" || fail "host.c does not build through pkg-config"
cmake -S "$source/tests/install/consumer" -B "$work/consumer-build" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null && cmake --build "$work/consumer-build" >/dev/null ||
  fail "the find_package(tessel) host does not build"
for host in "$work/host" "$work/consumer-build/consumer"; do
  [ "$(cd "$model" && "$host" . prot.txt plain.txt | grep -a 'txt	')" = "$(printf 'prot.txt\t1\nplain.txt\t0')" ] ||
    fail "$host: wrong verdicts"
done
# The installed Python package finds the installed library by itself, with
# only the prefix's package directory on PYTHONPATH. Debian's python3 first:
# the package directory was chosen with it.
python=$(command -v /usr/bin/python3 || command -v python3 || true)
# judged PYTHON [VARIABLE=VALUE...]: the library the package loads, whether the
# package is the environment's own, and its verdicts on the two texts.
judged() {
  (cd "$model" && env PYTHONDONTWRITEBYTECODE=1 "${@:2}" "$1" -c 'import os, sys, tessel
print(os.path.realpath(tessel.library_path()), tessel.__file__.startswith(sys.prefix))
m = tessel.Model(".")
print(m.judge(open("prot.txt", "rb").read()).verdict, m.judge(open("plain.txt", "rb").read()).verdict)')
}
library=$(realpath "$libdir/libtessel.so.0")
if [ -n "$python" ]; then
  package=$(find "$prefix" -path '*/tessel/_paths.py' ! -path '*/share/tessel/python/*')
  [ -n "$package" ] || fail "the Python package is not installed"
  verdicts=$(judged "$python" PYTHONPATH="$(dirname "$(dirname "$package")")")
  [ "$verdicts" = "$library False"$'\n'"True False" ] || fail "installed Python package: '$verdicts'"
  # pip installs the prefix's copy into a fresh environment, offline; it
  # finds the prefix's library with no LD_LIBRARY_PATH and no PYTHONPATH.
  if "$python" -c 'import setuptools, wheel, venv, pip' 2>/dev/null; then
    "$python" -m venv --without-pip --system-site-packages "$work/venv"
    "$work/venv/bin/python" -m pip install --no-build-isolation --no-index --quiet \
      --disable-pip-version-check "$prefix/share/tessel/python" >"$work/pip.log" 2>&1 ||
      { cat "$work/pip.log" >&2; fail "pip install of share/tessel/python failed"; }
    verdicts=$(judged "$work/venv/bin/python")
    [ "$verdicts" = "$library True"$'\n'"True False" ] || fail "pip-installed Python package: '$verdicts'"
  fi
fi
echo "install test: ok"
