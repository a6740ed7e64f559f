# info prints what it finds in every file and exits 1 when one is damaged:
# out of order, or a trailing partial record.
printf '%016d%016d' 1 2 >good.bin; printf '%016d%016d' 2 1 >unordered.bin; printf '%020d' 1 >partial.bin
tessel-sets info good.bin; echo "status $?"
tessel-sets info unordered.bin; echo "status $?"
tessel-sets info good.bin partial.bin; echo "status $?"
