#!/usr/bin/env bash
# Judges the documents named in a list with one tessel run on all of this
# machine's processors, and prints the result lines under the documents' own
# names, in list order: the step each machine runs when a job runner spreads
# a list over several (examples/judge-hosts.sh, examples/judge-slurm.sbatch).
#
#   examples/judge-list.sh [-t TESSEL] [LIST] -- TESSEL_OPTIONS...
#
# LIST names one document per line (standard input when it is missing or
# "-"). TESSEL_OPTIONS name a saved model (-f -p p.bin -u u.bin, with -o 1 in
# language-model mode) and neither -d nor -v. TESSEL defaults to the tessel on
# the PATH, else build/tessel of this checkout.
#
# tessel takes documents by pattern, so the list becomes a scratch directory
# of links that one -d pattern matches, named by their place in the list;
# the names are put back in its output. Header files are not recorded: the
# verdicts go beside the links and are removed with them (or, with a tessel
# that has --no-headers, are not written). Once tessel reads a list itself,
# this script is `tessel --files-from LIST --no-headers`.
set -euo pipefail

tessel=tessel
if ! command -v tessel >/dev/null; then
  built=$(cd "$(dirname "$0")/.." && pwd)/build/tessel
  [ -x "$built" ] && tessel=$built
fi
# Options by hand: getopts would take the "--" that ends LIST.
[ "${1:-}" = -t ] && [ $# -ge 2 ] && { tessel=$2; shift 2; }
list=-
if [ $# -gt 0 ] && [ "$1" != -- ]; then list=$1; shift; fi
if [ "${1:-}" != -- ]; then
  echo "usage: $0 [-t TESSEL] [LIST] -- TESSEL_OPTIONS..." >&2
  exit 2
fi
shift
[ "$list" = - ] && list=/dev/stdin

scratch=$(mktemp -d "${TMPDIR:-/tmp}/judge-list.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
grep -v '^$' "$list" >"$scratch/list" || true
[ -s "$scratch/list" ] || exit 0

# Links named NNNNNNNN.d: the dot keeps each header file (NNNNNNNN.hdr)
# beside its own link.
mkdir "$scratch/d"
LC_ALL=C awk -v dir="$scratch/d" -v here="$PWD" '{
    target = substr($0, 1, 1) == "/" ? $0 : here "/" $0
    printf "%s%c%s/%08d.d%c", target, 0, dir, NR - 1, 0
  }' "$scratch/list" | xargs -0 -n 2 ln -s

# A document's output starts with its link's name (then a TAB, or the end of
# the line in detailed output) and runs to the next one. tessel follows the
# directory's order, so each line is keyed by its document's place in the
# list and its own place in the output, sorted, and the names put back,
# escaped as tessel escapes them.
# Verdicts that would only go to the scratch directory cost a header file
# each on tessel's ordered (single) output thread: leave them off when it can.
no_headers=()
"$tessel" --help 2>&1 | grep -- --no-headers >/dev/null && no_headers=(--no-headers)
"$tessel" "${no_headers[@]}" "$@" -d "$scratch/d/*.d" |
  LC_ALL=C awk -v list="$scratch/list" -v prefix="$scratch/d/" '
    function printable(name,   out, k, c) {
      if (name !~ /[\t\r]/) return name
      for (k = 1; k <= length(name); k++) {
        c = substr(name, k, 1)
        out = out (c == "\t" ? "\\t" : c == "\r" ? "\\r" : c == "\\" ? "\\\\" : c)
      }
      return out
    }
    BEGIN { while ((getline line < list) > 0) names[n++] = line; document = -1 }
    index($0, prefix) == 1 && match(substr($0, length(prefix) + 1), /^[0-9]+\.d(\t|$)/) {
      head = substr($0, length(prefix) + 1, RLENGTH); sub(/\t$/, "", head)
      document = substr(head, 1, length(head) - 2) + 0
      $0 = printable(names[document]) substr($0, length(prefix) + length(head) + 1)
    }
    { printf "%d\t%d\t%s\n", document, NR, $0 }' |
  LC_ALL=C sort -t "$(printf '\t')" -k1,1n -k2,2n | cut -f3-
