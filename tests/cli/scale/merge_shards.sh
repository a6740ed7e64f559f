# Models trained on shards and merged with tessel-sets equal one training on
# all the texts, in both modes.
mkdir all one two && cd all
echo "alpha beta gamma delta alpha beta." >a1 && echo "beta gamma delta epsilon zeta." >a2
echo "alpha beta omega zeta gamma delta." >a3 && echo "one two three one two." >b1 && echo "two three four five alpha beta." >b2
cp a1 a2 b1 ../one && cp a3 b2 ../two
for mode in "-o 1" "-l 2"; do
  for d in . ../one ../two; do (cd $d && tessel -p 'a*' -u 'b*' -v $mode); done
  for f in p.bin p.bin.2 u.bin u.bin.2; do tessel-sets merge m ../one/$f ../two/$f && cmp m $f && wc -c <$f; done
done
