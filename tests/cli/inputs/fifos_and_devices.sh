# labels: quick
# FIFOs and devices as inputs never hang or run away: a FIFO with no writer reads
# as empty (also when a pattern matches it), a pipe with a writer is read,
# devices are refused as unreadable, and so is a stop-word directory.
mkfifo fifo; mkdir stop; cp "$DATA/lm/docs/d1.txt" doc.txt
timeout 10 tessel -t fifo -p "$DATA/lm/prot/*.txt" -u /dev/zero -d 'f*' -l 2
timeout 10 tessel -t /dev/zero -p fifo -u /dev/urandom -d /dev/null -l 2
timeout 10 tessel -t stop -p "$DATA/lm/prot/*.txt" -d /dev/stdin -l 2 <doc.txt
cat doc.txt | timeout 10 tessel -p "$DATA/lm/prot/*.txt" -d /dev/stdin -l 2; echo "status $?"
