# labels: quick threads
# -t judges on several threads through the tessel_ interface: the verdicts of
# _processShingles, with each deciding window's scores and phrase; a model
# with a missing file stops it before any text is judged.
cp "$MODELS"/lm/* . && cp "$DATA"/lm/docs/*.txt .
tessel-host -w 3 . d*.txt 2>/dev/null | grep '^d[0-9]*.txt' > one
tessel-host-linked -t 4 -w 3 . d*.txt > many; cut -f1,2 many | diff one - && cat many
rm u.bin.2; tessel-host -t 2 . d1.txt
