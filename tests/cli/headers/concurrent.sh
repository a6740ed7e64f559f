# labels: threads
# Two runs judging the same documents at once record one key line in each
# header.
for i in $(seq 60); do cp "$DATA/lm/docs/d$((i % 6 + 1)).txt" doc$i.txt; done
judge() { tessel -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -d 'doc*.txt' -o 3 >/dev/null 2>&1; }
judge & judge & judge; wait; cat doc*.hdr | grep -c QUIV_SHINGLES_VALUE
