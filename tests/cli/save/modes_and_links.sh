# New set files get mode 0666 less the umask (002: not 0644, not 0600),
# replaced ones keep theirs, a dangling link is written through, and a save
# removes the temporary files that killed saves of a process now gone left
# (a live owner's stay), also of a sources file the save no longer writes.
umask 002; mkdir model; ln -s model/p.bin p.bin; echo old >u.bin; chmod 640 u.bin
touch .u.bin.tmp999999999.abcdef .u.bin.tmp1.abcdef .u.bin.tmpXyZ123
tessel -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -o 1 -v
stat -c '%n %a %s' model/p.bin p.bin.2 u.bin; ls -A; readlink p.bin
touch .tessel.sources.tmp999999999.abcdef .tessel.sources.tmp1.abcdef
tessel -f -p p.bin -u u.bin -o 1 -v && ls -A | grep sources
