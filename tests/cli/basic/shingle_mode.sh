# labels: quick valgrind
# Shingle mode: train on the language-model corpus, judge its documents; -v
# saves the four set files (the pair files empty in this mode). The document's
# name is where the data lie: the expected output is a glob.
tessel -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -d "$DATA/lm/docs/d1.txt" -l 2 -v
wc -c p.bin p.bin.2 u.bin u.bin.2
