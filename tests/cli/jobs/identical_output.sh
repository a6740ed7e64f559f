# -j 4 writes byte for byte what -j 1 writes: standard output, standard
# error, header files (two documents share one), the title file and saved
# models, in every mode and option family, on both corpora, with an
# unreadable document among the data files.
corpus() {
  mkdir -p docs
  cp "$DATA"/lm/docs/*.txt "$SRC"/examples/corpus/docs/*.txt docs/
  cp docs/d1.txt docs/d1.doc && mkdir docs/dir.txt && cp "$DATA"/lm/prot/p1.txt docs/shared.txt
  cat "$SRC"/examples/corpus/protected/*.txt "$DATA"/lm/prot/*.txt >docs/shared.doc
}
learn=(-p "$SRC/examples/corpus/protected/*.txt" -u "$SRC/examples/corpus/unprotected/*.txt")
run() {  # name, options...
  local name=$1; shift
  for jobs in 1 4; do
    mkdir -p "$name.$jobs" && (cd "$name.$jobs" && corpus && tessel -j "$jobs" "$@" -d 'docs/*.*' \
      >stdout 2>stderr; rm -rf docs/dir.txt)
  done
  diff -r "$name.1" "$name.4" >/dev/null && echo "$name: same" || diff -r "$name.1" "$name.4"
  grep -c . "$name.1/stdout" >/dev/null || echo "$name: nothing judged"
}
run shingles "${learn[@]}" -v
run shingles-detailed "${learn[@]}" -e -l 3 -s 2 -t "$SRC/examples/corpus/stop.txt"
run scaled "${learn[@]}" -l 2 -m 3 --size-threshold 400
for formula in 1 2 3; do
  run "formula-$formula" "${learn[@]}" -o "$formula" --lm-lambda 0.001 --lm-length 3 -v
done
# Training on many files, an unreadable one among them.
run train-shingles -p 'docs/*.*' -u "$SRC/examples/corpus/unprotected/*.txt" -l 2 -v
run train-pairs -p 'docs/*.*' -u "$DATA/lm/plain/*.txt" -o 3 -v
run detailed-log -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -o 1 -e --lm-log --lm-sub
