# -z writes its res_* tables as the title file is written: a FIFO of that
# name with no reader is skipped instead of waited for, a symbolic link is
# refused (reported) and its target left alone, and a table cut short by a
# file size limit is reported.
mkfifo res_C2_B1_1 && echo keep >target && ln -s target res_C2_B1_2 && ln -s nowhere res_B2_C1_3
timeout 10 tessel -z 0.5 >/dev/null; echo "status $?"
cat target && ls nowhere 2>&1; wc -l <res_C2_B1_3
rm res_* && (trap '' XFSZ; prlimit --fsize=10000 tessel -z 0.5 2>&1 >/dev/null | sed -n 3,4p)
