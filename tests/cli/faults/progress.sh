# Training progress is shown on a terminal only, and cleared at the end.
head -c 1500000 /dev/zero | tr '\0' a | fold -w 3 | tr '\n' ' ' >a1.txt && : >a2.txt && : >a3.txt
script -qec "tessel -p 'a*.txt'" /dev/null | tr '\r' '\n' | tail -2 | od -c
tessel -p 'a*.txt' -u a2.txt
