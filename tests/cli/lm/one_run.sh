# labels: quick valgrind threads
# Trained in the same run the counts are real and the protected files are
# judged again for recall; -e lists the shared words once each; --lm-lambda
# and --lm-lambda0 weigh the smoothed formulas.
cp -r "$DATA/lm/prot" "$DATA/lm/plain" "$DATA/lm/docs" . && : >prot/empty.txt
for opts in "-o 1" "-o 1 -e" "-o 2 --lm-length 1" "-o 2 --lm-length 1 --lm-lambda0 0.5" \
    "-o 2 --lm-length 1 --lm-lambda 1" "-o 3 --lm-lambda 1 --lm-length 1"; do
  echo "== $opts" && tessel -p 'prot/*' -u 'plain/*' -d docs/d1.txt $opts 2>&1 | iconv -f cp1251 -t utf-8
done
