# -b agrees with a plain set difference for first files in ascending, random,
# sawtooth and sparse order against a second file of dense runs and long gaps.
head -c 48000 /dev/urandom | od -An -v -tx1 -w16 | tr -d ' ' | sort >all
awk 'NR % 3 == 0 || int(NR / 500) % 2' all >removed && xxd -r -p removed >second
for order in cat shuf "awk NR%50==1" "awk {a[NR]=\$0}END{for(i=0;i<NR;i+=2)print(a[i*7%NR+1])}"; do
  $order all >list && xxd -r -p list >first && tessel -b -p first -u second | od -An -v -tx1 -w17 | tr -d ' ' >got
  cut -c1-32 got | cmp - <(grep -vxFf removed list) && ! grep -qv '0a$' got && echo ok
done
# A second file in any order, with duplicates, read through a pipe, subtracts the same.
cat removed removed | shuf | xxd -r -p >unordered && tessel -b -p first -u second >expected
cat unordered | tessel -b -p first -u /dev/stdin | cmp - expected && echo same
