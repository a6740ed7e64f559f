# FIFOs named p.bin and title, with no reader, do not stall a run: the model
# is not saved (none of its four files), the title is skipped, and a FIFO
# named as a model file is refused like any file that is not a regular one.
mkfifo p.bin title; cp "$DATA/lm/docs/d1.txt" .
timeout 10 tessel -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -d d1.txt -o 1 -v >/dev/null
timeout 10 tessel -f -p p.bin -d d1.txt -l 2; echo "status $?"; ls
