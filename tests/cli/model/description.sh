# labels: quick
# A save writes the model's description, tessel.model, beside its four set
# files in the same all-or-nothing step. A reader refuses settings that
# contradict it and set files that do not match it (damaged, or mixed with
# another model's), naming the directory; a model without one reads as ever.
# Set files under a save's names read from two model directories must belong
# to one training: a language model's u.bin beside a shingle model's p.bin,
# or a u.bin of another training, is refused naming the file; a copy of the
# model's own u.bin is not. An --encoding that reads the model's texts
# otherwise than its training did is refused naming the setting; a host
# reads texts as the training did (UTF-8 here, so a Windows-1251 text has no words).
cp -r "$SRC/examples/corpus/." . && mkdir lm shingles other sh bare utf copy
learn=(-p '../protected/*.txt' -u '../unprotected/*.txt')
(cd lm && tessel -t ../stop.txt "${learn[@]}" -o 1 -v)
(cd shingles && tessel -t ../stop.txt -l 3 "${learn[@]}" -v)
(cd other && tessel -p '../unprotected/*.txt' -u '../protected/*.txt' -o 1 -v)
cat lm/tessel.model | grep -v checksum
judge() { tessel -f "$@" -d docs/ru_leak.txt 2>&1; }
judge -t stop.txt -p lm/p.bin -u lm/u.bin -o 1 | grep -c true
judge -p lm/p.bin -u lm/u.bin -o 1
judge -t stop.txt -p lm/p.bin -u lm/u.bin
judge -t stop.txt -p shingles/p.bin -u shingles/u.bin -l 3 -s 2
judge -t stop.txt -p shingles/p.bin -u shingles/u.bin -l 3 | cut -f2-
cp other/u.bin.2 lm/ && judge -t stop.txt -p lm/p.bin -u lm/u.bin -o 1
tessel-host lm docs/ru_leak.txt 2>&1
cp shingles/p.bin p.keep && printf 'X' | dd of=shingles/p.bin bs=1 seek=100 conv=notrunc 2>/dev/null
judge -t stop.txt -p shingles/p.bin -u shingles/u.bin -l 3 && mv p.keep shingles/p.bin
echo 'format two' >shingles/tessel.model && judge -t stop.txt -p shingles/p.bin -u shingles/u.bin -l 3
rm shingles/tessel.model && judge -p shingles/p.bin -u shingles/u.bin -l 5 | cut -f2-
tessel-sets info lm/tessel.model | grep -v checksum
echo "== models of one training, and encodings"
(cd sh && tessel "${learn[@]}" -v)
(cd bare && tessel "${learn[@]}" -o 1 -v)
(cd utf && tessel "${learn[@]}" -o 1 -v --encoding utf-8)
cp bare/u.bin bare/u.bin.2 copy/
judge() { tessel -f --no-headers --exit-status -d docs/ru_leak.txt "$@" 2>&1 | grep -v '^[0-9]'; echo "status ${PIPESTATUS[0]}"; }
judge -p sh/p.bin -u bare/u.bin
judge -p bare/p.bin -u other/u.bin -o 1
judge -p bare/p.bin -u copy/u.bin -o 1
judge -p bare/p.bin -u bare/u.bin -o 1 --encoding utf-8
judge -p bare/p.bin -u bare/u.bin -o 1 --encoding cp1251
judge -p utf/p.bin -u utf/u.bin -o 1 --encoding cp1251
judge -p utf/p.bin -u utf/u.bin -o 1 --encoding auto
tessel-host utf docs/ru_leak.txt 2>&1 | grep -v "^Error opening"
# Without --encoding a saved model's documents are read by its own rule, as a
# host reads them: a model trained byte for byte reads a UTF-8 copy so too.
mkdir cp && (cd cp && tessel "${learn[@]}" -v --encoding cp1251)
iconv -f cp1251 -t utf-8 docs/ru_leak.txt >utf8_leak.txt
tessel -f -p cp/p.bin -u cp/u.bin -d utf8_leak.txt
tessel -f -p cp/p.bin -u cp/u.bin -d utf8_leak.txt --encoding auto
