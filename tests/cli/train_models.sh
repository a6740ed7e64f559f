#!/usr/bin/env bash
# Trains the models many command-line cases judge with, once per test run,
# into MODELS_DIR (the CTest fixture cli.models; cases find it as $MODELS):
#   lm/            the language model of tests/data/lm (-o 1 -v)
#   examples/      the shingle model of examples/corpus with its stop words (-v)
#   examples-lm/   its language model (-o 1 -v)
# Each is trained as a case would train it, with the same paths, so a case may
# copy one instead of training its own.
# Usage: train_models.sh MODELS_DIR TESSEL DATA_DIR
set -euo pipefail
models=$1 tessel=$2 DATA=$(realpath "$3")
C=$(realpath "$(dirname "$0")/../../examples/corpus")
rm -rf "$models" && mkdir -p "$models/lm" "$models/examples" "$models/examples-lm"
(cd "$models/lm" && "$tessel" -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -o 1 -v >/dev/null 2>&1)
(cd "$models/examples" && "$tessel" -t "$C/stop.txt" -p "$C/protected/*.txt" -u "$C/unprotected/*.txt" -v >/dev/null 2>&1)
(cd "$models/examples-lm" &&
  "$tessel" -t "$C/stop.txt" -p "$C/protected/*.txt" -u "$C/unprotected/*.txt" -o 1 -v >/dev/null 2>&1)
