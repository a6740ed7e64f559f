# labels: quick
# What a --pre program writes to standard error is passed on, line by line,
# as a warning naming the document; only a program that fails withholds the
# verdict. In JSON the error is the failure, not the program's first line,
# and --exit-status counts warnings as no error. -j 3 writes what -j 1 does.
C="$SRC/examples/corpus"
cp -r "$MODELS/examples" shingle && cp -r "$MODELS/examples-lm" lm
cat >repaired <<'EOF2'
#!/bin/sh
printf 'Internal Error: xref num 1 not found\n\nSyntax Warning: no line end' >&2
exec cat "$1"
EOF2
cat >broken <<'EOF2'
#!/bin/sh
echo "Syntax Error: Couldn't find trailer dictionary" >&2
exit 1
EOF2
chmod +x repaired broken && cp "$C/docs/ru_leak.txt" "$C/docs/weekly_update.txt" .
shingle=(-t "$C/stop.txt" -f -p shingle/p.bin -u shingle/u.bin -d '*.txt')
lm=(-t "$C/stop.txt" -f -p lm/p.bin -u lm/u.bin -o 1 --no-headers --no-title -d '*.txt')
for pre in ./repaired ./broken; do
  echo "== $pre, shingle mode" && tessel --pre $pre "${shingle[@]}" --exit-status; echo "status $?"
  echo "== $pre, json" && tessel --pre $pre "${shingle[@]}" --format=json --exit-status; echo "status $?"
  echo "== $pre, language model, json" && tessel --pre $pre "${lm[@]}" --format=json --exit-status
  echo "status $?"
done
tessel --pre ./repaired "${lm[@]}" -j 1 >out1 2>err1 && tessel --pre ./repaired "${lm[@]}" -j 3 >out3 2>err3
cmp out1 out3 && cmp err1 err3 && echo "-j 3 as -j 1"
