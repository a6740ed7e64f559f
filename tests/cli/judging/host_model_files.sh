# A host's model directory where one file is a FIFO (which must not block the
# open) and one a directory: both are reported and judged as empty sets.
cp "$MODELS"/lm/* .
mkdir -p m/u.bin.2 && cp p.bin p.bin.2 m/ && mkfifo m/u.bin
cd m && tessel-host . "$DATA"/lm/docs/d[12].txt | sed "s|$DATA/||"
