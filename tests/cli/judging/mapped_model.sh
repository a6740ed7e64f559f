# labels: quick
# A saved model judges as the training run did when its set files are mapped,
# also from a file out of order, and a document that repeats itself counts
# each shingle once; then a mapped language model with -e and --lm-sub, which
# lists the document's shared words.
tessel -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -l 2 -v -d "$DATA/lm/docs/*.txt" | sed "s|$DATA/||" | sort > trained
od -An -v -w16 -tx1 p.bin | sort -r | xxd -r -p > reversed.bin
tessel -p reversed.bin -u u.bin -f -l 2 -d "$DATA/lm/docs/*.txt" | sed "s|$DATA/||" | sort | diff trained - && cat trained
cat "$DATA"/lm/docs/d[14].txt "$DATA"/lm/docs/d[14].txt > twice.txt; tessel -p p.bin -u u.bin -f -l 2 -d twice.txt
cp "$MODELS"/lm/* . && cp "$DATA"/lm/docs/d[12].txt .
tessel -p p.bin -u u.bin -f -o 1 --lm-log --lm-sub -e -d "d[12].txt"; cat d1.hdr
