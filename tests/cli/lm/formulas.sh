# labels: quick valgrind
# Each formula, plain and with --lm-log, on a saved model (counts 1, totals 0:
# a known word scores 100, a known pair 1/1.01); the evaluation line follows.
cp -r "$DATA/lm/prot" "$DATA/lm/plain" "$DATA/lm/docs" . && tessel -p 'prot/*' -u 'plain/*' -v -o 1
for o in "1" "1 --lm-log" "2" "2 --lm-log" "3" "7 --lm-log"; do
  echo "== -o $o" && for d in d1 d4; do tessel -f -p p.bin -u u.bin -d docs/$d.txt -o $o 2>&1; done
done | iconv -f cp1251 -t utf-8
