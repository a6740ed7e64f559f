# examples/shard.sh prints what one process prints, in list order, with either
# runner; names may hold pattern characters, TABs and backslashes.
for t in "alpha beta gamma delta alpha beta." "one two three one two." "alpha beta omega." "two three four."; do echo "$t" >"${#t}.txt"; done
tessel -p '3*' -u '2*' -l 2 -v && echo "alpha beta gamma." >'odd[1].txt' && cp 'odd[1].txt' $'odd\t\\2.txt' && ls *.txt | sort -r >list
while read -r f; do tessel -f -p p.bin -u u.bin -l 2 -d "$(printf %s "$f" | sed 's/[[\\]/\\&/g')"; done <list >expected
for r in xargs auto; do SHARD_RUNNER=$r bash "$SRC/examples/shard.sh" -j 2 list -- -f -p p.bin -u u.bin -l 2 | cmp - expected; done
# Without tessel on the PATH it takes the one built beside it.
mkdir -p tree/examples tree/build && cp "$SRC/examples/shard.sh" tree/examples && ln -s "$(command -v tessel)" tree/build/tessel
PATH=/usr/bin:/bin bash tree/examples/shard.sh -j 1 list -- -f -p p.bin -u u.bin -l 2 | cmp - expected && cat expected
