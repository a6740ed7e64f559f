# labels: quick
# A file name holding a TAB, a line feed or a carriage return can neither
# forge a result line nor shift a column: in such a name these bytes, and
# backslashes, print as C escapes, in both modes, in the -e listing and in the
# header warning. Other names print as they are, and -x tallies every file.
cp -r "$DATA/shingle/." . && mkdir hits
forged=$'hits/leak.txt\t0\t37\t0\t0<10\nforged.txt'
cp docs/doc1.txt "$forged" && cp docs/doc1.txt $'hits/cr\rx\\y.txt'
cp docs/doc1.txt 'hits/plain\name.txt' && cp docs/doc3.txt hits/ordinary.txt
learn=(-t stop.txt -l 2 -p 'learn/prot*' -u learn/unprot.txt)
for name in 'hits/leak*' 'hits/cr*' 'hits/plain*' hits/ordinary.txt; do
  tessel "${learn[@]}" -m 3 -d "$name"
done | tee lines
wc -l <lines && tessel -x <lines
tessel "${learn[@]}" -e -d 'hits/leak*' | sed -n 1,3p
tessel "${learn[@]}" -o 1 -v >/dev/null 2>&1
for run in 1 2; do tessel -f -t stop.txt -p p.bin -u u.bin -o 1 -d 'hits/leak*.txt' 2>/dev/null; done
find hits -name '*.hdr' | wc -l
