# --robust scores a document by the longest chain of protected-only shingles
# from one protected file. A 60-word passage of a protected file (and a
# 25-word one), edited in each way a leak is, inside an ordinary document is
# flagged, and the file is named; every 5th word replaced leaves no 5-word
# shingle, and its 4-word units, a link after a gap counting 2, score 23, just
# under the default threshold. The ordinary document alone scores 0. A line
# of it repeated twelve times (a listing of one annotation) chains its few
# distinct units once each, not every repeat. -f reads the profile and the
# sources from the saved model, and judges as the training run does; -j 3
# writes what -j 1 does.
. "$SRC/tests/cli/robust/words.bash"
mkdir -p protected unprotected docs
words 400 7 >protected/secret.txt && words 400 11 >protected/other.txt
words 400 13 >unprotected/plain.txt
words 200 17 >host.txt
sed -n 21,26p protected/secret.txt >passage.txt
plant() { { head -n 10 host.txt; cat; tail -n 10 host.txt; } >"docs/$1.txt"; }
plant verbatim <passage.txt
tr a-z A-Z <passage.txt | plant caps
tr -s ' .\n' '\n' <passage.txt | paste -d ' ' - - - - - - - | plant rewrapped
for k in 5 10 20; do
  awk -v k=$k '{ for (i = 1; i <= NF; i++) { if (++n % k == 0) $i = "zzz" } print }' passage.txt |
    plant replace-${k}th
done
tr -s ' \n' '\n' <passage.txt | head -n 25 | paste -s -d ' ' | plant verbatim-25
{ echo "Fwd: notes"; cat protected/secret.txt; } >docs/near-duplicate.txt
awk '{ for (i = 1; i <= NF; i++) if (++n % 10 == 0) $i = "" } { print }' passage.txt | plant drop-10pct
tac passage.txt | plant reordered
{ head -n 3 passage.txt; cat host.txt; tail -n 3 passage.txt; } >docs/split.txt
cp host.txt docs/ordinary.txt
for _ in $(seq 12); do sed -n 21p protected/secret.txt; done >docs/repeated.txt
tessel --robust -p 'protected/*.txt' -u 'unprotected/*.txt' -v && grep profile tessel.model
tessel --robust -f -p p.bin -u u.bin -d 'docs/*.txt' --no-headers --sources=1 -j 1 | tee one.out
tessel --robust -f -p p.bin -u u.bin -d 'docs/*.txt' --no-headers --sources=1 -j 3 | cmp - one.out
tessel --robust -p 'protected/*.txt' -u 'unprotected/*.txt' -d 'docs/*.txt' --no-headers \
  --sources=1 | cmp - one.out
tessel --robust -f -p p.bin -u u.bin -d docs/caps.txt --no-headers --format=json --robust-threshold=80
echo "== refused: a model trained without --robust, --robust with -o"
mkdir exact && (cd exact && tessel -c -p '../protected/*.txt' -u '../unprotected/*.txt' -v)
tessel --robust -f -p exact/p.bin -u exact/u.bin -d docs/caps.txt --no-headers; echo "status $?"
tessel --robust -o 1 -f -p p.bin -u u.bin -d docs/caps.txt --no-headers --exit-status; echo "status $?"
echo "== a chains file that is not the model's own"
printf x >>tessel.chains
tessel --robust -f -p p.bin -u u.bin -d docs/caps.txt --no-headers; echo "status $?"
