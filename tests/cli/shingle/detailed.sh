# labels: quick valgrind
# -e and -a list the matching shingles (count, then text) instead of a verdict.
cp -r "$DATA/shingle/." .
tessel -t stop.txt -l 2 -p 'learn/prot*' -u learn/unprot.txt -e -d docs/doc3.txt
tessel -t stop.txt -l 2 -p 'learn/prot*' -u learn/unprot.txt -a -d docs/doc2.txt
