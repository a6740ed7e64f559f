# labels: quick valgrind
# A save that fails leaves the old files and no temporary file, and the four
# model files are saved all or none: p.bin a directory, p.bin.2 a link to a
# full device, u.bin a link; then every write limited in size (prlimit).
echo "alpha beta gamma delta." >p.txt && echo "one two three four." >u.txt
mkdir p.bin && ln -s /dev/full p.bin.2 && echo old >real_u && ln -s real_u u.bin && echo old >u.bin.2
tessel -p p.txt -u u.txt -o 1 -v; ls -A; wc -c real_u u.bin.2
seq 500 | tr 0-9 a-j | tr '\n' ' ' >long.txt && echo . >>long.txt && rm -r p.bin* u.bin* && echo old >p.bin
(trap "" XFSZ && prlimit --fsize=100 tessel -p long.txt -o 1 -v) 2>&1 | cat; ls -A; cat p.bin
