# labels: quick
# How texts become shingles, shown by judging a text against itself with -e:
# separators, Windows-1251 upper case, the lost unterminated last word, stop
# words spanned, the word count, the shift (-s 0 and -l 0 are ignored).
printf 'ab, cd ef.\n\xe0\xe1 Hello HELLO \xa8\xb8 abc123def the x\nlast' >t.txt && echo the >stop
for opts in "-l 1" "-l 2 -t stop" "-l 3 -s 2" "-l 2 -s 0" "-l 0 -s 9"; do
  echo "== $opts" && tessel $opts -p t.txt -d t.txt -e | grep -a '^	' | cut -f2 -d'"'
done
