# New model files are created with the umask's mode; a replaced file keeps its mode.
echo "alpha beta gamma." >p.txt
(umask 022 && tessel -p p.txt -o 1 -v) && stat -c '%a %n' p.bin u.bin
(umask 077 && rm p.bin && tessel -p p.txt -o 1 -v) && stat -c '%a %n' p.bin
chmod 640 u.bin && tessel -p p.txt -o 1 -v && stat -c '%a %n' u.bin
