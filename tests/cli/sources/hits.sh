# labels: threads
# --sources=N names, for each document judged protected, the protected
# learning files sharing the most shingles (pairs) with it, the largest first.
# A passage of one protected file inside ordinary text is traced to that file
# in both modes, from a saved model (-f reads tessel.sources) and straight
# after training; without --sources the output is what it always was, and -x
# tallies the same with the source lines as without them.
cp -r "$SRC/examples/corpus/." . && mkdir mixed
{ head -n 6 unprotected/newsletter.txt; sed -n 3,7p protected/salary_review.txt
  tail -n 5 unprotected/travel_rules.txt; } >mixed/passage.txt
cp unprotected/travel_rules.txt mixed/plain.txt
{ sed -n 3,5p protected/salary_review.txt; cat docs/forwarded_email.txt; } >two.txt
learn=(-t stop.txt -p 'protected/*.txt' -u 'unprotected/*.txt')
for mode in "" "-o 1"; do
  echo "== ${mode:-shingles}"
  mkdir -p "model$mode" && (cd "model$mode" && tessel -t ../stop.txt -p '../protected/*.txt' \
    -u '../unprotected/*.txt' $mode -v -j 3)
  judge=(-t stop.txt -f -p "model$mode/p.bin" -u "model$mode/u.bin" $mode --no-headers --no-title)
  trained=("${learn[@]}" $mode --no-headers --no-title -j 1)
  for run in judge trained; do
    eval 'options=("${'$run'[@]}")'
    tessel "${options[@]}" -d 'mixed/*.txt' --sources=1 2>/dev/null | tee with.out
    tessel "${options[@]}" -d 'mixed/*.txt' 2>/dev/null | tee without.out | cmp - <(grep -v "^source" with.out)
    tessel -x <with.out | cmp - <(tessel -x <without.out)  # -x passes over source lines
  done
  tessel "${judge[@]}" -d two.txt --sources=3
done
echo "== the same model saved with -j 1 and -j 4"
tessel "${learn[@]}" -o 1 -v -j 1 && cp tessel.sources one && tessel "${learn[@]}" -o 1 -v -j 4
cmp one tessel.sources && echo identical
