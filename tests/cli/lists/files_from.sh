# labels: quick
# Documents and learning files named in lists: one a line, or every list
# NUL-separated with --null (find -print0), "-" for standard input, judged in
# list order after a pattern's matches; empty names are skipped. An unquoted
# pattern's extra names and a second -d are reported as ignored, and so is a
# list that cannot be read; unreadable documents get no line in either mode.
L="$DATA/lm" && cp -r "$L/docs" .
printf '%s\n' docs/d4.txt "" docs/d1.txt >list && tr '\n' '\0' <list >list0
printf '%s\0' "$L/prot/p1.txt" "$L/prot/p2.txt" >prot.lst && printf '%s\0' "$L/plain/u2.txt" "$L/plain/u1.txt" >plain.lst
run() { tessel "$@" 2>&1 | sed "s|$DATA/||g" | iconv -f cp1251 -t utf-8; }
echo "== NUL-separated lists for training and judging, after a pattern"
run -l 2 --protected-from=- --unprotected-from=plain.lst -v -d docs/d2.txt --files-from=list0 --null <prot.lst
mkdir again && (cd again && tessel -l 2 -p "$L/prot/*.txt" -u "$L/plain/*.txt" -v) && cmp p.bin again/p.bin && cmp u.bin again/u.bin && echo "the model of the patterns"
echo "== a list of lines from standard input"
run -l 2 -p "$L/prot/*.txt" --files-from=- <list
echo "== language model with lists only: the evaluation pass reads the protected list"
run -o 1 --null --protected-from=prot.lst --unprotected-from=plain.lst --files-from=list0 | grep -v '^string:\|^[А-Я ]*$'
echo "== ignored arguments, and an encoding tessel does not know"
run -l 2 -p "$L/prot/*.txt" -d docs/d1.txt docs/d2.txt -d docs/d3.txt extra --encoding=latin1
echo "== an unreadable list, and unreadable documents in both modes"
mkdir dir && run -l 2 -p "$L/prot/*.txt" --files-from=missing.lst
printf '%s\n' dir nothing.txt docs/d1.txt >bad.lst && run -l 2 -p "$L/prot/*.txt" --files-from=bad.lst
run -o 1 -p "$L/prot/*.txt" --files-from=bad.lst | grep -v '^string:\|^[А-Я ]*$'
