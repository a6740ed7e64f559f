#!/usr/bin/env bash
# Judges the documents named in a list on several machines with GNU parallel,
# one tessel per machine on all its processors, and prints what one tessel
# run over the list prints on standard output, in list order.
#
#   examples/judge-hosts.sh [-t TESSEL] [-0] -S SSHLOGINS LIST -- TESSEL_OPTIONS...
#
# SSHLOGINS is parallel's list of machines, one job each: 1/scan1,1/scan2
# (":" is this machine). LIST is a file naming one document per line, or
# with -0 each name followed by a NUL byte (find -print0); --pipepart cuts it
# into one consecutive part per machine and sends each part to
# examples/judge-list.sh there (tessel --files-from), which takes the same
# -t, -0 and options.
# Every machine must see this directory, this script's directory, the model
# and the documents at the same paths (a shared file system), and have tessel
# (or TESSEL). Header files are not recorded. Each machine's tessel writes
# its own evaluation line to standard error in language-model mode.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
tessel_option=() sshlogin="" null_option=() record_end=()
while getopts "t:S:0" option; do
  case $option in
    t) tessel_option=(-t "$OPTARG") ;;
    0) null_option=(-0) record_end=(--recend '\0') ;;
    S) sshlogin=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
if [ -z "$sshlogin" ] || [ $# -lt 2 ] || [ "$2" != -- ]; then
  echo "usage: $0 [-t TESSEL] [-0] -S SSHLOGINS LIST -- TESSEL_OPTIONS..." >&2
  exit 2
fi
list=$1
shift 2
# parallel runs each job with $SHELL; a cron job or a container may have none.
export SHELL=${SHELL:-/bin/bash}

# -k keeps the parts' output in list order; -q quotes every word for the
# remote shell, so that names and spaces reach tessel as they are; --recend
# cuts a NUL-separated list only between names.
exec parallel --will-cite -k -q --pipepart -a "$list" "${record_end[@]}" --block -1 \
  -S "$sshlogin" --workdir "$PWD" "$here/judge-list.sh" "${tessel_option[@]}" \
  "${null_option[@]}" -- "$@"
