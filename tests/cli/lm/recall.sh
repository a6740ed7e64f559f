# F is the precision when the recall is at least 0.98: 49 of 50 protected
# files found is exactly 0.98 and counts, 48 of 50 does not.
mkdir p && echo "soup bread lunch" >u.txt && echo "quiet river stone" >d.txt
for i in $(seq 49); do echo "secret plan alpha$i" >p/$i.txt; done
echo "soup bread lunch" >p/50.txt && tessel -p 'p/*' -u u.txt -d d.txt -o 1 >/dev/null
echo "soup bread lunch" >p/49.txt && tessel -p 'p/*' -u u.txt -d d.txt -o 1 >/dev/null
