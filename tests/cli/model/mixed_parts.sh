# Set files under a save's names read from two model directories must belong
# to one training: a language model's u.bin beside a shingle model's p.bin,
# or a u.bin of another training, is refused naming the file; a copy of the
# model's own u.bin is not. An --encoding that reads the model's texts
# otherwise than its training did is refused naming the setting; a host
# reads texts as the training did (UTF-8 here, so a Windows-1251 text has no words).
cp -r "$SRC/examples/corpus/." . && mkdir sh lm other utf copy
learn=(-p '../protected/*.txt' -u '../unprotected/*.txt')
(cd sh && tessel "${learn[@]}" -v)
(cd lm && tessel "${learn[@]}" -o 1 -v)
(cd other && tessel -p '../unprotected/*.txt' -u '../protected/*.txt' -o 1 -v)
(cd utf && tessel "${learn[@]}" -o 1 -v --encoding utf-8)
cp lm/u.bin lm/u.bin.2 copy/
judge() { tessel -f --no-headers --exit-status -d docs/ru_leak.txt "$@" 2>&1 | grep -v '^[0-9]'; echo "status ${PIPESTATUS[0]}"; }
judge -p sh/p.bin -u lm/u.bin
judge -p lm/p.bin -u other/u.bin -o 1
judge -p lm/p.bin -u copy/u.bin -o 1
judge -p lm/p.bin -u lm/u.bin -o 1 --encoding utf-8
judge -p lm/p.bin -u lm/u.bin -o 1 --encoding cp1251
judge -p utf/p.bin -u utf/u.bin -o 1 --encoding cp1251
judge -p utf/p.bin -u utf/u.bin -o 1 --encoding auto
tessel-host utf docs/ru_leak.txt 2>&1 | grep -v "^Error opening"
# Without --encoding a saved model's documents are read by its own rule, as a
# host reads them: a model trained byte for byte reads a UTF-8 copy so too.
mkdir cp && (cd cp && tessel "${learn[@]}" -v --encoding cp1251)
iconv -f cp1251 -t utf-8 docs/ru_leak.txt >utf8_leak.txt
tessel -f -p cp/p.bin -u cp/u.bin -d utf8_leak.txt
tessel -f -p cp/p.bin -u cp/u.bin -d utf8_leak.txt --encoding auto
