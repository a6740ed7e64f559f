# labels: quick
# A save writes the model's description, tessel.model, beside its four set
# files in the same all-or-nothing step. A reader refuses settings that
# contradict it and set files that do not match it (damaged, or mixed with
# another model's), naming the directory; a model without one reads as ever.
cp -r "$SRC/examples/corpus/." . && mkdir lm shingles other
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
