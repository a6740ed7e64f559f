# Header files and the title file are never written through a symbolic link
# (reported; the run goes on), and a header this run created but could not
# write is removed again.
for doc in a b c; do cp "$DATA/lm/docs/d2.txt" $doc.txt; done
echo keep >target; ln -s target a.hdr; ln -s nowhere b.hdr; ln -s target title
tessel -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -d '[abc].txt' -o 3 2>&1 >/dev/null | grep -v '^1' | sort
cat target c.hdr; ls; rm c.hdr title
(trap '' XFSZ; prlimit --fsize=0 tessel -p "$DATA/lm/prot/*.txt" -d c.txt -o 3 2>&1 >/dev/null | grep -v '^1'); ls
