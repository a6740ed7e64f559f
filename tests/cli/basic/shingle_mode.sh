# labels: quick valgrind
# Shingle mode: train on the language-model corpus, judge its documents; -v
# saves the four set files (the pair files empty in this mode).
tessel -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -d "$DATA/lm/docs/d1.txt" -l 2 -v |
  sed "s|$DATA/||"
wc -c p.bin p.bin.2 u.bin u.bin.2
