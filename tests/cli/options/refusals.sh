# Bad values are refused or ignored with a message; the last occurrence of an
# option wins; numbers out of range saturate. The run still succeeds.
echo "alpha beta gamma delta epsilon zeta eta theta iota kappa." >t.txt
tessel --lm-length 0 -m -4 --size-threshold -1 --bogus --lm-log=1 -p none -p t.txt -d t.txt
tessel -m abc -l abc -p t.txt -d t.txt
tessel --size-threshold 99999999999 -m 7x -p t.txt -d t.txt
tessel -o 1 --lm-length 1 --lm-length 0 -p t.txt -d t.txt 2>&1 | tail -1
