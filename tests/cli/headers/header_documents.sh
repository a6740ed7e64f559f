# labels: threads
# A document that is the header file of a document before it in the list is
# read once that header is updated, as on one thread: -j 2 and -j 4 judge
# the header documents with their new key lines (and warn that each was
# already upgraded), for headers missing, empty or without the key. The
# documents before their headers are slow to read, so that without the wait
# each header would be read before it is updated.
printf '#!/bin/sh\ncase "$1" in *.txt) sleep 0.1 ;; esac\nexec cat "$1"\n' >slow && chmod +x slow
mkdir docs && for name in a b c; do
  cp "$DATA/lm/docs/d1.txt" docs/$name.txt
  printf '%s\n' docs/$name.txt docs/$name.hdr
done >list
: >docs/b.hdr && printf 'From: someone' >docs/c.hdr
tessel -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -o 1 --lm-length 3 -v 2>/dev/null
for jobs in 1 2 4; do
  cp -r docs docs.$jobs
  tessel -j $jobs -f -p p.bin -u u.bin -o 1 --lm-length 3 --pre ./slow --files-from list \
    >out.$jobs 2>err.$jobs
  mv docs docs.run.$jobs && mv docs.$jobs docs
done
cat out.1 err.1 docs.run.1/*.hdr
for jobs in 2 4; do
  diff -r docs.run.1 docs.run.$jobs && cmp out.1 out.$jobs && cmp err.1 err.$jobs && echo "-j $jobs: same"
done
