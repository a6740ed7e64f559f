# A run killed by SIGTERM while it records verdicts leaves each header
# either as it was or with its key line: no header is created empty.
cp "$MODELS"/lm/* .
mkdir docs && for i in $(seq 1500); do echo "word$i and other words of document $i" >docs/d$i.txt; done
for kill in 1 2 3; do
  rm -f docs/*.hdr
  tessel -j 2 -f -p p.bin -u u.bin -o 1 -d 'docs/*.txt' >/dev/null 2>&1 &
  sleep 0.1; kill -TERM $! 2>/dev/null; wait $!
  find docs -name '*.hdr' -empty
  find docs -name '*.hdr' ! -empty -exec grep -L '^QUIV_SHINGLES_VALUE    = ' {} +
done
echo done
