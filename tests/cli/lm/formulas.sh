# labels: quick valgrind threads
# Each formula, plain and with --lm-log, on a saved model (counts 1, totals 0:
# a known word scores 100, a known pair 1/1.01); the evaluation line follows.
# Trained in the same run the counts are real and the protected files are
# judged again for recall; -e lists the shared words once each; --lm-lambda
# and --lm-lambda0 weigh the smoothed formulas.
cp -r "$DATA/lm/prot" "$DATA/lm/plain" "$DATA/lm/docs" . && tessel -p 'prot/*' -u 'plain/*' -v -o 1
for o in "1" "1 --lm-log" "2" "2 --lm-log" "3" "7 --lm-log"; do
  echo "== -o $o" && for d in d1 d4; do tessel -f -p p.bin -u u.bin -d docs/$d.txt -o $o 2>&1; done
done | iconv -f cp1251 -t utf-8
: >prot/empty.txt
for opts in "-o 1" "-o 1 -e" "-o 2 --lm-length 1" "-o 2 --lm-length 1 --lm-lambda0 0.5" \
    "-o 2 --lm-length 1 --lm-lambda 1" "-o 3 --lm-lambda 1 --lm-length 1"; do
  echo "== $opts" && tessel -p 'prot/*' -u 'plain/*' -d docs/d1.txt $opts 2>&1 | iconv -f cp1251 -t utf-8
done
