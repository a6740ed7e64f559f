# A chain counts each protected-only unit once: a document that repeats one
# short phrase of a protected file (a listing of the same annotation line)
# makes a chain of its few distinct units, not of every repeat, while the
# same words in a row of new text still chain as before.
. "$SRC/tests/cli/robust/words.bash"
mkdir -p protected unprotected docs
words 400 7 >protected/secret.txt
words 400 13 >unprotected/plain.txt
sed -n 21p protected/secret.txt >phrase.txt
for i in 1 2 3 4 5 6 7 8 9 10 11 12; do cat phrase.txt; done >docs/repeated.txt
sed -n 21,32p protected/secret.txt >docs/passage.txt
tessel --robust -p 'protected/*.txt' -u 'unprotected/*.txt' -v
tessel --robust -f -p p.bin -u u.bin -d 'docs/*.txt' --no-headers -j 1 | tee one.out
tessel --robust -f -p p.bin -u u.bin -d 'docs/*.txt' --no-headers -j 2 | cmp - one.out
