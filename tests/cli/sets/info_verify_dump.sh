# labels: quick valgrind
# info, verify and dump name what is wrong: 8 trailing bytes, record 2 below
# record 1 (bytes compare unsigned), repeated digests; any bad file fails the run.
rec() { printf "\\x$1"; head -c 14 /dev/zero; printf "\\x${2:-00}"; }
{ rec 01; rec 02; rec 02; rec f0; } >good && : >empty
{ rec 01; rec 90; rec 80; rec 90; printf 12345678; } >bad
tessel-sets info good bad; echo "status $?"
tessel-sets verify good empty; echo "status $?"
tessel-sets verify good bad missing .; echo "status $?"
{ rec 0a ff; printf tail; } >d && tessel-sets dump d; echo "status $?"
