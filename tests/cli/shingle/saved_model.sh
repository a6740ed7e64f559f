# labels: quick valgrind threads
# Bigrams, stop words THE and И: trained and judged in one run, then saved and
# judged from the files, with the same lines (sorted: directory order varies).
# -e and -a list the matching shingles (count, then text) instead of a verdict.
cp -r "$DATA/shingle/." . && opts="-t stop.txt -l 2 -m 2"
tessel $opts -p 'learn/prot*' -u learn/unprot.txt -d 'docs/*' | sort
tessel $opts -p 'learn/prot*' -u learn/unprot.txt -v && wc -c p.bin p.bin.2 u.bin u.bin.2
tessel $opts -f -p p.bin -u u.bin -d 'docs/*' | sort
tessel $opts -f -p p.bin -u u.bin -d 'docs/*' --size-threshold 3 | sort
tessel -t stop.txt -l 2 -p 'learn/prot*' -u learn/unprot.txt -e -d docs/doc3.txt
tessel -t stop.txt -l 2 -p 'learn/prot*' -u learn/unprot.txt -a -d docs/doc2.txt
