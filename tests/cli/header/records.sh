# labels: quick valgrind
# Verdicts are appended to DIR/NAME.hdr: a missing header is created, a last
# line without a line feed gets one, a header holding the key anywhere (even
# deep in a long line) is left alone with a warning; the key is case-sensitive.
cp "$DATA/lm/docs/d1.txt" a.txt && cp a.txt b.txt && cp a.txt c.txt && cp a.txt d.txt
tessel -p a.txt -v -o 1 && printf 'From: b' >b.hdr && echo "quiv_shingles_value = 1" >c.hdr
{ head -c 65529 /dev/zero | tr '\0' x; printf '# OLD_QUIV_SHINGLES_VALUE_2 = 5'; } >d.hdr
for f in a b c d a; do tessel -f -p p.bin -u u.bin -d $f.txt -o 1 2>/dev/null; done
cat a.hdr b.hdr c.hdr && wc -c d.hdr
