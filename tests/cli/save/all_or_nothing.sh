# labels: quick
# A model is saved all or nothing: when one of the four files cannot be
# written (a directory in its place, a file size limit, a full device), none
# is replaced and no temporary file stays behind.
for name in p.bin p.bin.2 u.bin; do echo old >$name; done; mkdir u.bin.2
train() { ${LIMIT:-} tessel -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -o 1 -v; }
train; rmdir u.bin.2; echo old >u.bin.2
# p.bin, u.bin and the description need more; the messages go through a
# pipe, which the limit does not cut short.
trap '' XFSZ; LIMIT="prlimit --fsize=100" train 2>&1 | cat >&2
mv u.bin.2 old.2; ln -s /dev/full u.bin.2; train; ls -A; cat p.bin p.bin.2 u.bin old.2
