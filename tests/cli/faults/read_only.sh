# labels: nobody
# In a directory that cannot be written every save is reported, no file changes.
[ "$(id -u)" -ne 0 ] || { echo "skip: permissions do not hold for root"; exit 77; }
echo "alpha beta gamma." >p.txt && for f in p.bin p.bin.2 u.bin u.bin.2; do echo old >$f; done
chmod 500 . && tessel -p p.txt -o 1 -v; chmod 700 . && cat p.bin p.bin.2 u.bin u.bin.2
