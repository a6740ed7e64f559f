# A negative formula number is refused before anything is built, judged or
# written; --lm-sub gives the same verdicts with and without saving.
cp -r "$DATA/lm/prot" "$DATA/lm/plain" "$DATA/lm/docs" .
tessel -p 'prot/*' -u 'plain/*' -d 'docs/*' -o -1 -v; ls
mkdir sub && cp "$DATA"/lm/sub/{blocker,shared}.txt sub && cp "$DATA"/lm/sub/{plain,xy}.txt .
for v in "" -v; do tessel -p 'sub/*' -u plain.txt -d xy.txt -o 1 --lm-sub $v 2>&1; done | iconv -f cp1251 -t utf-8
