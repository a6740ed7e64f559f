# Language-model training saves one record per word (or pair) per file; judging
# from the saved model records each verdict in the document's header file,
# once, and reports headers that cannot be written; the run goes on.
cp -r "$DATA/lm/prot" "$DATA/lm/plain" "$DATA/lm/docs" . && tessel -p 'prot/*' -u 'plain/*' -v -o 1 && wc -c *.bin* && ls
cd docs && printf 'From: b' >d2.hdr && echo keep >d3.hdr && mkdir d5.hdr && ln -s missing/d6.hdr d6.hdr
for run in 1 2; do for d in d?.txt; do tessel -f -p ../p.bin -u ../u.bin -d $d -o 1 2>&1; done; done | iconv -f cp1251 -t utf-8
head d1.hdr d2.hdr d3.hdr && cat title
