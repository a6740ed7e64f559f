#!/usr/bin/env bash
# Builds tessel and runs it on the bundled example corpus: training on the
# protected and unprotected texts, saving the model, and judging the example
# documents with the saved model.
#
# Usage: scripts/example.sh [OUTPUT_DIR]   (default: a temporary directory)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
corpus="$root/examples/corpus"
tessel="$root/build/tessel"

build() {
  scripts/setup.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j "$(nproc)" --target tessel_program tessel-host tessel_sets_program manpages
}

# Shingle mode: five-word shingles, verdict "P>=M" (protected) or "P<M",
# scaled by n/100 for documents of fewer than 100 distinct shingles.
shingle_session() {
  local model="$1/shingle-model"
  mkdir -p "$model"
  echo "== Shingle mode: training (-v saves p.bin, p.bin.2, u.bin, u.bin.2 and tessel.model in $model)"
  (cd "$model" && "$tessel" -t "$corpus/stop.txt" \
    -p "$corpus/protected/*.txt" -u "$corpus/unprotected/*.txt" -v)
  ls -l "$model"
  echo "== tessel-sets verify: the saved set files are whole and in digest order"
  "$root/build/tessel-sets" verify "$model"/*.bin*
  echo "== Shingle mode: judging with the saved model (-f)"
  echo "   name, protected, unprotected and common matches, verdict"
  (cd "$model" && "$tessel" -t "$corpus/stop.txt" -f -p p.bin -u u.bin \
    -d "$corpus/docs/*.txt") | sed "s|$corpus/||" | sort
}

# Language-model mode: single words and word pairs, verdict of Formula1
# (-o 1), recorded in each document's header file; the evaluation line
# (recall, precision, F) goes to standard error. The documents are copied
# first, since their header files are written beside them.
language_model_session() {
  local model="$1/lm-model"
  mkdir -p "$model"
  cp -r "$corpus/docs" "$model/docs"
  echo "== Language-model mode: training (-o 1 -v)"
  (cd "$model" && "$tessel" -t "$corpus/stop.txt" \
    -p "$corpus/protected/*.txt" -u "$corpus/unprotected/*.txt" -o 1 -v)
  echo "== Language-model mode: judging with the saved model (-f -o 1)"
  (cd "$model" && "$tessel" -t "$corpus/stop.txt" -f -p p.bin -u u.bin \
    -d "docs/*.txt" -o 1 2>&1 | iconv -f CP1251 -t UTF-8)
  echo "== Header files"
  (cd "$model" && for h in docs/*.hdr; do echo "$h:"; cat "$h"; done)
}

# A C host program (examples/host.c) loads libtessel.so with dlopen, opens a
# model directory and judges each document as a text buffer: 1 protected,
# 0 not. The C interface loads no stop words, so this model is trained
# without them.
host_session() {
  local model="$1/host-model"
  mkdir -p "$model"
  echo "== Host program: training a model without stop words (-o 1 -v)"
  (cd "$model" && "$tessel" -p "$corpus/protected/*.txt" -u "$corpus/unprotected/*.txt" -o 1 -v)
  echo "== Host program: examples/host.c judging the documents as text buffers"
  (cd "$corpus" && "$root/build/examples/tessel-host" -l "$root/build/libtessel.so" "$model" \
    docs/*.txt 2>/dev/null | grep -a '^docs/')
}

main() {
  out="${1:-}"
  if [ -z "$out" ]; then
    out=$(mktemp -d)
    trap 'rm -rf "$out"' EXIT
  fi
  mkdir -p "$out"
  out=$(cd "$out" && pwd)
  build
  shingle_session "$out"
  language_model_session "$out"
  host_session "$out"
  echo "== Manual pages: man build/tessel.1, man build/tessel-sets.1"
}

main "$@"
