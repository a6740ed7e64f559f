# A chain counts each protected-only unit once: a document that repeats one
# short phrase of a protected file (a listing of the same annotation line)
# makes a chain of its few distinct units, not of every repeat, while the
# same words in a row of new text still chain as before.
words() {  # words N SEED: N made-up words, ten a line, each line a sentence
  awk -v n="$1" -v x="$2" 'BEGIN { split("ka lo mi ne su ta ri vo pe da", s, " ")
    for (i = 1; i <= n; i++) { w = ""
      for (k = 0; k < 3; k++) { x = (x * 16807) % 2147483647; w = w s[x % 10 + 1] }
      printf "%s%s", w, (i % 10 ? " " : ".\n") } }'
}
mkdir -p protected unprotected docs
words 400 7 >protected/secret.txt
words 400 13 >unprotected/plain.txt
sed -n 21p protected/secret.txt >phrase.txt
for i in 1 2 3 4 5 6 7 8 9 10 11 12; do cat phrase.txt; done >docs/repeated.txt
sed -n 21,32p protected/secret.txt >docs/passage.txt
tessel --robust -p 'protected/*.txt' -u 'unprotected/*.txt' -v
tessel --robust -f -p p.bin -u u.bin -d 'docs/*.txt' --no-headers -j 1 | tee one.out
tessel --robust -f -p p.bin -u u.bin -d 'docs/*.txt' --no-headers -j 2 | cmp - one.out
