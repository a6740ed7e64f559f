# An append that fails part way (a file size limit inside the key line) is
# reported and taken back.
cp "$DATA/lm/docs/d1.txt" a.txt && tessel -p a.txt -v -o 1 && printf "%4085s\n" x >a.hdr
(trap "" XFSZ && prlimit --fsize=4096 tessel -f -p p.bin -u u.bin -d a.txt -o 1 >/dev/null) 2>&1 | sed -n 1p; wc -c a.hdr
