# labels: quick valgrind
# -b writes the records of the first set file that the second lacks, each
# with a line feed, and runs nothing else (no stop words, no documents).
cp -r "$DATA/lm/prot" "$DATA/lm/plain" "$DATA/lm/docs" .
tessel -p 'prot/*' -u 'plain/*' -v -o 1 && mv p.bin all.bin && tessel -p prot/p2.txt -v -o 1
tessel -b -p all.bin -u p.bin -d 'docs/*' -t missing.txt | od -An -tx1; ls docs | grep -c hdr
tessel -b -p all.bin -u nothing.bin
