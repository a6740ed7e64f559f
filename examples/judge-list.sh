#!/usr/bin/env bash
# Judges the documents named in a list with one tessel run on all of this
# machine's processors, and prints the result lines under the documents' own
# names, in list order: the step each machine runs when a job runner spreads
# a list over several (examples/judge-hosts.sh, examples/judge-slurm.sbatch).
#
#   examples/judge-list.sh [-t TESSEL] [-0] [LIST] -- TESSEL_OPTIONS...
#
# LIST names one document per line, or with -0 each name followed by a NUL
# byte (find -print0); standard input when it is missing or "-".
# TESSEL_OPTIONS name a saved model (-f -p p.bin -u u.bin, with -o 1 in
# language-model mode) and neither -d nor -v; --pre examples/pre/any2text
# judges office documents and PDFs too. TESSEL defaults to the tessel on the
# PATH, else build/tessel of this checkout.
#
# This is `tessel TESSEL_OPTIONS --no-headers --files-from=- [--null] <LIST`:
# every document is read where it is, under its own name and extension, and
# no header file is written beside it.
set -euo pipefail

tessel=tessel
if ! command -v tessel >/dev/null; then
  built=$(cd "$(dirname "$0")/.." && pwd)/build/tessel
  [ -x "$built" ] && tessel=$built
fi
# Options by hand: getopts would take the "--" that ends LIST.
null=()
while [ $# -gt 0 ]; do
  case $1 in
    -t) [ $# -ge 2 ] || break; tessel=$2; shift 2 ;;
    -0) null=(--null); shift ;;
    *) break ;;
  esac
done
list=-
if [ $# -gt 0 ] && [ "$1" != -- ]; then list=$1; shift; fi
if [ "${1:-}" != -- ]; then
  echo "usage: $0 [-t TESSEL] [-0] [LIST] -- TESSEL_OPTIONS..." >&2
  exit 2
fi
shift
[ "$list" = - ] && list=/dev/stdin

# The list goes in on standard input, so that any file the shell can read
# serves, /dev/null included.
exec "$tessel" "$@" --no-headers --files-from=- "${null[@]}" <"$list"
