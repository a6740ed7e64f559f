# labels: threads
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
run robust "${learn[@]}" --robust -v
run shingles-detailed "${learn[@]}" -e -l 3 -s 2 -t "$SRC/examples/corpus/stop.txt"
run scaled "${learn[@]}" -l 2 -m 3 --size-threshold 400
for formula in 1 2 3; do
  run "formula-$formula" "${learn[@]}" -o "$formula" --lm-lambda 0.001 --lm-length 3 -v
done
# Training on many files, an unreadable one among them.
run train-shingles -p 'docs/*.*' -u "$SRC/examples/corpus/unprotected/*.txt" -l 2 -v
run train-pairs -p 'docs/*.*' -u "$DATA/lm/plain/*.txt" -o 3 -v
run detailed-log -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -o 1 -e --lm-log --lm-sub
# Documents that reach one header file by other paths (./, a linked
# directory, ..), and a header file judged as a document: those headers are
# updated in list order, the others on the judging threads.
for jobs in 1 4; do
  mkdir aliases.$jobs && (cd aliases.$jobs && corpus && rm -r docs/dir.txt && ln -s docs link &&
    cp docs/d2.txt docs/d3.hdr && printf '%s\n' docs/d2.txt ./docs/d2.txt link/d2.txt docs/d3.hdr \
      docs/d3.txt docs/../docs/d4.txt docs/d4.txt docs/d5.txt docs/d6.txt >list &&
    tessel -j $jobs "${learn[@]}" -o 1 --lm-length 3 --files-from list >stdout 2>stderr)
done
diff -r aliases.1 aliases.4 >/dev/null && echo "aliases: same" || diff -r aliases.1 aliases.4
grep -c "already" aliases.4/stdout
