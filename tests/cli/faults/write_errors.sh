# A failed write of the output is reported on standard error: the tool keeps
# its exit status 0 (subtraction, result lines of both modes, a short usage
# text flushed only at exit), tessel-sets exits 1. Output that fits is silent.
cp -r "$DATA/lm/prot" "$DATA/lm/plain" "$DATA/lm/docs" . && tessel -p 'prot/*' -u 'plain/*' -o 1 -v
for command in "dump p.bin" "info p.bin" "verify p.bin u.bin" "--help" "dump p.bin p.bin"; do
  tessel-sets $command >/dev/full; echo "tessel-sets $command: status $?"
done
tessel-sets dump p.bin >/dev/null; echo "tessel-sets dump: status $?"
tessel -b -p p.bin -u u.bin >/dev/full; echo "-b: status $?"
tessel -p 'prot/*' -u 'plain/*' -d 'docs/*' >/dev/full; echo "shingle mode: status $?"
tessel -p 'prot/*' -u 'plain/*' -d 'docs/*' -o 1 2>&1 >/dev/full | grep -v '^1'
tessel -h >/dev/full; echo "-h: status $?"
tessel -b -p p.bin -u u.bin | wc -c
