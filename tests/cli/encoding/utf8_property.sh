# Every Windows-1251 text and its UTF-8 form (iconv) judge alike, over both
# corpora: models trained from either form are the same files, and against
# either model both forms of every text give the same result lines, scores,
# verdicts and evaluation line; phrases and -e listings are written in the
# text's own form. The documents are named in a list, in the order ls gives;
# the lines themselves are the other cases' to pin, here only their number.
utf8() { iconv -f cp1251 -t utf-8; }
check() {  # NAME PROTECTED UNPROTECTED DOCS [STOP]
  mkdir -p "$1/cp" && cd "$1"
  cp -r "$2" cp/prot && cp -r "$3" cp/plain && cp -r "$4" cp/docs && cat "${5:-/dev/null}" >cp/stop
  cp -r cp u8
  for file in u8/*/*.txt u8/stop; do utf8 <"cp/${file#u8/}" >"$file"; done
  for form in cp u8; do
    mkdir $form/shingle $form/lm
    (cd $form/shingle && tessel -t ../stop -p '../prot/*.txt' -u '../plain/*.txt' -l 2 -v)
    (cd $form/lm && tessel -t ../stop -p '../prot/*.txt' -u '../plain/*.txt' -o 1 -v)
  done
  for file in shingle/p.bin shingle/u.bin lm/p.bin lm/p.bin.2 lm/u.bin lm/u.bin.2; do
    cmp cp/$file u8/$file || echo "models differ: $file"
  done
  for model in cp u8; do
    for form in cp u8; do
      (cd $form && ls docs/*.txt >list && for run in "-l 2" "-l 2 -e" "-o 1" "-o 1 -e" "-o 3 --lm-length 4"; do
        set -- $run && dir=shingle && [ "$1" = -o ] && dir=lm
        echo "== $run"
        tessel -t stop -f -p ../$model/$dir/p.bin -u ../$model/$dir/u.bin --files-from=list $run 2>&1
        rm -f docs/*.hdr
      done
      echo "== -o 1 evaluation"
      tessel -t stop -p 'prot/*.txt' -u 'plain/*.txt' --files-from=list -o 1 2>&1 >/dev/null
      rm -f docs/*.hdr) >out
      if [ $form = cp ]; then utf8 <out >$model-$form; else mv out $model-$form; fi
    done
  done
  for result in cp-u8 u8-cp u8-u8; do cmp -s cp-cp $result || diff cp-cp $result; done
  echo "$1: $(wc -l <cp-cp) lines alike" && cd ..
}
check lm "$DATA/lm/prot" "$DATA/lm/plain" "$DATA/lm/docs"
C="$SRC/examples/corpus"
check examples "$C/protected" "$C/unprotected" "$C/docs" "$C/stop.txt"
