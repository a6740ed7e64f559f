# labels: quick valgrind
# info, verify and dump name what is wrong: 8 trailing bytes, record 2 below
# record 1 (bytes compare unsigned), repeated digests; any bad file fails the
# run, and info exits 1 for either damage alone. merge keeps every record; its
# output may be one of its inputs; a damaged or missing input, or an output
# that cannot be written, leaves the output alone. Set files that are FIFOs
# or devices never stall or run away: a FIFO with no writer reads as empty, a
# device cannot be opened, and a model (-f) takes regular files only.
rec() { printf "\\x$1"; head -c 14 /dev/zero; printf "\\x${2:-00}"; }
{ rec 01; rec 02; rec 02; rec f0; } >good && : >empty
{ rec 01; rec 90; rec 80; rec 90; printf 12345678; } >bad
{ rec 01; rec 90; rec 80; } >unordered && { rec 01; printf 1234; } >partial
for files in good unordered partial "good bad"; do tessel-sets info $files; echo "status $?"; done
tessel-sets verify good empty; echo "status $?"
tessel-sets verify good bad missing .; echo "status $?"
{ rec 0a ff; printf tail; } >d && tessel-sets dump d; echo "status $?"
{ rec 01; rec 05; rec 05; rec 09; } >a && { rec 00; rec 05; rec ff; } >b && : >c && echo old >out
tessel-sets merge m a b c && od -An -tx1 -w16 m | cut -c1-3 | tr -d '\n'; echo
for bad in unordered partial missing; do tessel-sets merge out a $bad; echo "status $?"; done; cat out
tessel-sets merge /dev/full a; tessel-sets merge . a; echo "status $?"
tessel-sets merge a a b && cmp a m && echo "in place"
mkfifo fifo
timeout 10 tessel-sets verify fifo /dev/zero; echo "status $?"
timeout 10 tessel -f -p /dev/zero -u fifo; echo "status $?"
