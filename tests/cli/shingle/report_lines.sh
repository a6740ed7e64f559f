# -x reads a result line's name up to its TAB and its counts as white-space
# separated numbers, both across line ends: a line without a TAB is part of
# the next line's name, and counts may go on over following lines. It stops
# at a count that is not a number, and a last line without its line feed is
# not tallied.
printf 'no tab here\nb\t2 0 0\t\n\nsplit\t4\n\n  1\n0\tx\nc\t2\t1\t1\t\nd\tx\ne\t9 0 0\n' | tessel -x
echo "== cut short"
printf 'a\t5 0\n' | tessel -x
printf 'a\t5 0 0' | tessel -x
