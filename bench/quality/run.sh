#!/usr/bin/env bash
# The detection benchmark in one command: installs what is missing, builds
# the labelled store when it is missing (generate.py), trains tessel on the
# protected and unprotected sets, judges the store with tessel and the peers,
# and reports recall per edit at 1% and 0.1% false positives, the false
# positives at tessel's default verdict and the CPU time (evaluate.py).
#
# Usage: bench/quality/run.sh [DATA_DIR [TESSEL]]
#   DATA_DIR  where the store is built (default /tmp/tessel-quality);
#             results go to DATA_DIR/run/ (results.md, scores.tsv, curve.png)
#   TESSEL    the program to measure (default build/tessel)
# Environment:
#   TESSEL_CONFIGS  tessel configurations, one NAME=OPTIONS a line, each
#                   trained with OPTIONS -v and judged with OPTIONS -f
#                   (default: "tessel defaults=" and "tessel -c=-c"); e.g.
#                   TESSEL_CONFIGS=$'tessel -c=-c\nrobust=--robust'
#   QUALITY_PEERS   comma-separated peers (default
#                   sim_text,ssdeep,tlsh,minhash,winnowing,chain; empty: none)
#   QUALITY_SCALE, QUALITY_PER_EDIT   share of the default sizes and
#                   positives per edit (default 1 and 100), for a quick run;
#                   read only when the store is built, so give such a store
#                   a DATA_DIR of its own
#   QUALITY_NO_SETUP=1  only check for the Debian packages, install nothing
set -euo pipefail
here=$(realpath "$(dirname "$0")")
root=$(realpath "$here/../..")
data=${1:-/tmp/tessel-quality}
tessel=$(realpath "${2:-$root/build/tessel}")
scale=${QUALITY_SCALE:-1} per_edit=${QUALITY_PER_EDIT:-100}

[ "${QUALITY_NO_SETUP:-}" = 1 ] || bash "$here/setup.sh"
bash "$here/setup.sh" --check
if [ ! -f "$data/manifest.txt" ]; then
  python3 "$here/generate.py" "$data" --scale "$scale" --per-edit "$per_edit"
fi
configs=()
while IFS= read -r line; do
  [ -n "$line" ] && configs+=(--config "$line")
done <<<"${TESSEL_CONFIGS:-$'tessel defaults=\ntessel -c=-c'}"
exec python3 "$here/evaluate.py" --data "$data" --tessel "$tessel" \
  --peers "${QUALITY_PEERS-sim_text,ssdeep,tlsh,minhash,winnowing,chain}" "${configs[@]}"
