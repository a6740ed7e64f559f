# labels: quick
# Formula1 on d1 scores 98.0296 against 0: it passes lm_threshold_1 on its own,
# or a margin of lm_factor over the unprotected score while that stays below
# lm_threshold_2.
cp -r "$DATA/lm/prot" "$DATA/lm/plain" "$DATA/lm/docs" . && tessel -p 'prot/*' -u 'plain/*' -v -o 1
for opts in "--lm-threshold-1 98 --lm-factor 99" "--lm-threshold-1 99 --lm-factor 98" \
    "--lm-threshold-1 99 --lm-factor 99" "--lm-threshold-1 99 --lm-threshold-2 0" "--lm-length 1" \
    "--lm-length 2 -e" "--lm-length -1" "--lm-length 0"; do
  echo "== $opts" && tessel -f -p p.bin -u u.bin -d docs/d1.txt -o 1 $opts 2>&1 | iconv -f cp1251 -t utf-8
done
# Unigrams in windows of one known word score exactly 100: enough for a threshold of 100.
tessel -f -p p.bin -u u.bin -d docs/d1.txt -o 3 --lm-length 1 --lm-threshold-1 100 --lm-factor 200 2>&1 | sed -n 1,2p
