# -f with a set file that cannot be loaded (missing, a directory, a FIFO that
# would block, an endless device) reports it and judges nothing: no result
# lines, no evaluation line, no header file, nothing saved.
cp "$DATA/lm/docs/d1.txt" doc.txt
mkfifo fifo.bin fifo.bin.2
tessel -p p.bin -f -d doc.txt -o 1 -v; ls
mkdir dir; tessel -p dir -u fifo.bin -f -d doc.txt
tessel -p /dev/zero -f -d doc.txt -o 1
