# labels: quick valgrind
# Bad values are refused or ignored with a message; the last occurrence of an
# option wins; numbers out of range saturate. A numeric value that is not
# wholly a number is refused and nothing runs (status 2 only with
# --exit-status, even when given after it); -l 0 keeps the length.
echo "alpha beta gamma delta epsilon zeta eta theta iota kappa." >t.txt
tessel --lm-length 0 -m -4 --size-threshold -1 --bogus --lm-log=1 -p none -p t.txt -d t.txt
tessel --size-threshold 99999999999 -m 7 -l 0 -p t.txt -d t.txt
tessel -o 1 --lm-length 1 --lm-length 0 -p t.txt -d t.txt 2>&1 | tail -1
tessel -m abc -l abc -p t.txt -d t.txt; echo "status $?"
tessel -m 1O -p t.txt -d t.txt --exit-status; echo "status $?"
tessel -o 1 --lm-threshold-1 '' --lm-factor 0.5x -j 2e -p t.txt -d t.txt -x; echo "status $?"
tessel --exit-status -z abc; echo "status $?"
ls
