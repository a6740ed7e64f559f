# labels: quick valgrind
# merge keeps every record; its output may be one of its inputs; a damaged or
# missing input, or an output that cannot be written, leaves the output alone.
rec() { printf "\\x$1"; head -c 15 /dev/zero; }
{ rec 01; rec 05; rec 05; rec 09; } >a && { rec 00; rec 05; rec ff; } >b && : >c
tessel-sets merge m a b c && od -An -tx1 -w16 m | cut -c1-3 | tr -d '\n'; echo
{ rec 03; rec 01; } >unsorted && { rec 03; printf xyz; } >partial && echo old >out
for bad in unsorted partial missing; do tessel-sets merge out a $bad; echo "status $?"; done; cat out
tessel-sets merge /dev/full a; tessel-sets merge . a; echo "status $?"
tessel-sets merge a a b && cmp a m && echo "in place"
