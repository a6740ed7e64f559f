# info on a model's description checks its sources file too: one that does
# not match the recorded size and checksum, or is missing, is reported like a
# damaged set file, with status 1, since every --sources run would refuse it.
cp -r "$SRC/examples/corpus/." . && mkdir model
(cd model && tessel -p '../protected/*.txt' -u '../unprotected/*.txt' -v)
info() { tessel-sets info model/tessel.model | grep '^set files'; echo "status ${PIPESTATUS[0]}"; }
info
cp model/tessel.sources keep && printf 'X' | dd of=model/tessel.sources bs=1 seek=40 conv=notrunc 2>/dev/null
info
echo >>keep && cp keep model/tessel.sources && info
rm model/tessel.sources && info
