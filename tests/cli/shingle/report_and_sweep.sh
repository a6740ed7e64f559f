# -x, -h and -z end the run as soon as they are read: the stop-word file is
# never opened, later options are not looked at.
printf 'a\t3\t1\t0\t3>=10\nb\t1\t0\t0\t1<10\nc\t3\t2\t1\t3<10*0.5\nd\t2\t0\t0' | tessel -t missing.txt -x -h
echo x | tessel -h -x | sed -n 1p
tessel -t missing.txt -z 1e-1 -h && ls res_* | wc -l
