# labels: quick
# Training that yields no shingle at all (every learning file shorter than
# one shingle; in language-model mode, no word in any of them; no pattern),
# or no readable learning file (a typo, a directory), saves nothing and says
# so, so the model of an earlier run stays. Judging in the same run goes on.
tessel -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -v -o 1
tessel -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -l 50000 -v -d "$DATA/lm/docs/d1.txt" 2>&1 |
  sed "s|$DATA/||"
printf '12 -- 34\n' >digits.txt && : >empty.txt && tessel -p digits.txt -u empty.txt -o 1 -v 2>&1
tessel -v 2>&1
tessel -p "$DATA/lm/protectd/*.txt" -u "$DATA/lm/plain/*.txt" -v -o 1 2>&1 | sed "s|$DATA/||"
mkdir plain && tessel -p "$DATA/lm/prot/*.txt" -u plain -v 2>&1
wc -c p.bin p.bin.2 u.bin u.bin.2
# Both sides train in one run: the unprotected pattern's complaint still
# comes after the messages of the protected files.
mkdir -p prot/dir.txt && cp "$DATA"/lm/prot/*.txt prot/
tessel -p 'prot/*.txt' -u "$DATA/lm/plian/*.txt" -v -o 1 2>&1 | sed "s|$DATA/||"
