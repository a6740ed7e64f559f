# -f with -v saves the loaded sets again, in digest order: a set file out of
# order comes back sorted, the others unchanged. A host's model directory
# where one file is a FIFO (which must not block the open) and one a
# directory: both are reported and judged as empty sets.
cp "$MODELS"/lm/* .
mkdir -p h/u.bin.2 && cp p.bin p.bin.2 h/ && mkfifo h/u.bin
(cd h && tessel-host . "$DATA"/lm/docs/d[12].txt | sed "s|$DATA/||")
mkdir m && od -An -v -w16 -tx1 p.bin | sort -r | xxd -r -p > m/p.bin && cp p.bin.2 u.bin u.bin.2 m/
cd m && tessel -f -p p.bin -u u.bin -o 1 -v 2>/dev/null
for f in p.bin p.bin.2 u.bin u.bin.2; do cmp $f ../$f && wc -c < $f; done
