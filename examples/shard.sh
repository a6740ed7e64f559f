#!/usr/bin/env bash
# Scores a list of data files with several tessel processes at once and
# prints their result lines in the order of the list.
#
#   examples/shard.sh [-j JOBS] [-S SSHLOGIN] [-t TESSEL] LIST -- TESSEL_OPTIONS...
#
# TESSEL defaults to the tessel on the PATH, else build/tessel of this checkout.
#
# LIST names one data file per line ("-" reads it from standard input). The
# options name a saved model and no -d, for instance -f -p p.bin -u u.bin, or
# -f -p p.bin -u u.bin -o 1 in language-model mode; do not pass -v. JOBS
# (default: the number of processors) shards are scored by one tessel process
# each, so the model is loaded once per shard. Judging is independent per
# document, so the output is the output of one process over the whole list,
# with each document's lines in list order, and language-model verdicts are
# appended to the documents' own header files as usual.
#
# A shard is a directory of links to its documents (and to their header
# files) that one -d pattern matches. GNU parallel runs the shards when it is
# installed, xargs -P otherwise (or when SHARD_RUNNER=xargs). With GNU
# parallel, -S spreads the shards over several machines (-S 2/host1,2/host2,:);
# they must see this directory, the model and the documents at the same paths
# (a shared file system; set TMPDIR to a shared directory for the shards).
set -euo pipefail

jobs=$(nproc)
sshlogin=""
# The tessel on the PATH, else the one built beside this script (build/).
tessel=tessel
if ! command -v tessel >/dev/null; then
  built=$(cd "$(dirname "$0")/.." && pwd)/build/tessel
  [ -x "$built" ] && tessel=$built
fi
while getopts "j:S:t:" option; do
  case $option in
    j) jobs=$OPTARG ;;
    S) sshlogin=$OPTARG ;;
    t) tessel=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
if [ $# -lt 1 ] || [ "$jobs" -lt 1 ]; then
  echo "usage: $0 [-j JOBS] [-S SSHLOGIN] [-t TESSEL] LIST -- TESSEL_OPTIONS..." >&2
  exit 2
fi
list=$1
shift
[ "${1:-}" = "--" ] && shift
[ "$list" = "-" ] && list=/dev/stdin

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
grep -v '^$' "$list" >"$work/list" || true

# Round-robin over the shards. A document's link is named by its place in the
# list; beside it a link for its header file (the tool puts it at the name up
# to the last dot of its own name, plus "hdr", or appends ".hdr" when that
# name has no dot after its first character) points where the document's own
# header is.
absolute() { case $1 in /*) printf '%s' "$1" ;; *) printf '%s/%s' "$PWD" "$1" ;; esac; }
for ((shard = 0; shard < jobs; ++shard)); do mkdir "$work/s$shard"; done
index=0
while IFS= read -r name; do
  shard_dir=$work/s$((index % jobs))
  link=$(printf '%s/%08d' "$shard_dir" "$index")
  ln -s "$(absolute "$name")" "$link.d"
  case ${name##*/} in
    ?*.*) header=${name%.*}.hdr ;;
    *) header=$name.hdr ;;
  esac
  ln -s "$(absolute "$header")" "$link.hdr"
  index=$((index + 1))
done <"$work/list"

# One command per shard; {} is the shard directory.
command=$(printf '%q ' "$tessel" "$@")
command+="-d {}/'*.d' >{}.out"
if [ "${SHARD_RUNNER:-}" != xargs ] && command -v parallel >/dev/null 2>&1; then
  remote=()
  [ -n "$sshlogin" ] && remote=(-S "$sshlogin" --workdir .)
  parallel --will-cite -j "$jobs" "${remote[@]}" "$command" ::: "$work"/s[0-9]*
elif [ -n "$sshlogin" ]; then
  echo "$0: -S needs GNU parallel" >&2
  exit 2
else
  printf "%s\n" "$work"/s[0-9]* | xargs -d '\n' -P "$jobs" -I{} bash -c "$command"
fi

# A document's output starts with its link name (then a tab, or the end of the
# line in detailed output) and runs to the next one; put the documents back
# in list order under their own names, escaped as the tool escapes them.
cat "$work"/s[0-9]*.out |
  awk -v list="$work/list" -v records="$work/r" '
    function printable(name,   out, k, c) {
      if (name !~ /[\t\r]/) return name
      for (k = 1; k <= length(name); k++) {
        c = substr(name, k, 1)
        out = out (c == "\t" ? "\\t" : c == "\r" ? "\\r" : c == "\\" ? "\\\\" : c)
      }
      return out
    }
    BEGIN { while ((getline line < list) > 0) names[n++] = line; system("mkdir -p \"" records "\"") }
    match($0, /^.*\/s[0-9]+\/[0-9]+\.d(\t|$)/) {
      head = substr($0, 1, RLENGTH); sub(/\t$/, "", head)
      i = head; sub(/^.*\//, "", i); sub(/\.d$/, "", i)
      if (file != "") close(file)
      file = records "/" i
      $0 = printable(names[i + 0]) substr($0, length(head) + 1)
    }
    file != "" { print > file }'
[ -d "$work/r" ] && find "$work/r" -type f | sort | xargs -r cat
