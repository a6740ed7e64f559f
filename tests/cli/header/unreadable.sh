# labels: nobody
# A header that cannot be read is not appended to (it might hold the key).
[ "$(id -u)" -ne 0 ] || { echo "skip: permissions do not hold for root"; exit 77; }
cp "$DATA/lm/docs/d1.txt" a.txt && tessel -p a.txt -v -o 1
echo "QUIV_SHINGLES_VALUE    = 1" >a.hdr && chmod 200 a.hdr
tessel -f -p p.bin -u u.bin -d a.txt -o 1 2>&1 >/dev/null | sed -n 1p
chmod 600 a.hdr && cat a.hdr
