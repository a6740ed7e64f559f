# labels: quick threads
# Threads the system refuses (here each thread's stack would pass the limit
# on address space) leave their work to the calling thread: training,
# saving, loading and judging give what -j 1 gives, with one warning.
[ -z "${TESSEL_CLI_WRAPPER:-}" ] || { echo "skip: the wrapper starts threads its own way"; exit 77; }
limited() { (ulimit -s 1000000 -v 900000 && "$@"); }
limited tessel --version >/dev/null 2>&1 || { echo "skip: tessel does not start under the limit"; exit 77; }
learn=(-p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -o 1 --lm-length 3)
for jobs in 1 16; do
  mkdir "j$jobs" && (cd "j$jobs" && cp -r "$DATA/lm/docs" . &&
    limited tessel -j $jobs "${learn[@]}" -v -d 'docs/*.txt' --exit-status >train.out 2>train.err
    echo "training: status $?" >>status
    limited tessel -j $jobs -f -p p.bin -u u.bin -o 1 --lm-length 3 -d 'docs/*.txt' >judge.out 2>judge.err
    echo "judging: status $?" >>status)
done
cat j16/status j16/*.err
echo "lines apart from the warnings: $(diff -r j1 j16 | grep -v '^[<>] Warning: cannot start' | grep -c '^[<>]')"
