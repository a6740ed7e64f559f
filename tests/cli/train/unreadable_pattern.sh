# A training pattern that yields no readable learning file (a typo, a
# directory) saves nothing, so the model of an earlier run stays.
tessel -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -v -o 1
tessel -p "$DATA/lm/protectd/*.txt" -u "$DATA/lm/plain/*.txt" -v -o 1 2>&1 | sed "s|$DATA/||"
mkdir plain && tessel -p "$DATA/lm/prot/*.txt" -u plain -v 2>&1
wc -c p.bin p.bin.2 u.bin u.bin.2
# Both sides train in one run: the unprotected pattern's complaint still
# comes after the messages of the protected files.
mkdir -p prot/dir.txt && cp "$DATA"/lm/prot/*.txt prot/
tessel -p 'prot/*.txt' -u "$DATA/lm/plian/*.txt" -v -o 1 2>&1 | sed "s|$DATA/||"
