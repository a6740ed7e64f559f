# -c upper-cases ASCII letters as Cyrillic ones always are, in training and
# judging alike, and the stop words with them: a protected memo typed in
# capitals is then caught in both modes. Without -c nothing changes.
C="$SRC/examples/corpus"
tr a-z A-Z <"$C/protected/merger_plan.txt" >shouted.txt
for opts in "" "-c"; do
  echo "== $opts" && rm -f shouted.hdr
  tessel $opts -t "$C/stop.txt" -p "$C/protected/*.txt" -u "$C/unprotected/*.txt" -d shouted.txt
  tessel $opts -t "$C/stop.txt" -p "$C/protected/*.txt" -u "$C/unprotected/*.txt" -o 1 -v
  tessel $opts -t "$C/stop.txt" -f -p p.bin -u u.bin -d shouted.txt -o 1 2>&1 | grep -v '^[A-Z ]*$'
  printf 'alpha The beta.\n' >t.txt && echo the >stop
  tessel $opts -t stop -l 2 -p t.txt -d t.txt -e | grep -a '^	' | cut -f2 -d'"'
done
