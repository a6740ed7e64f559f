# Running out of memory ends the run with a message naming the file being
# read (on a worker thread too, with -j 4) and status 2 under --exit-status;
# the model saved before stays as it was, with no file of the failed save.
[ -z "${TESSEL_CLI_WRAPPER:-}" ] || { echo "skip: the wrapper needs memory of its own"; exit 77; }
limited() { (ulimit -v 70000 && "$@"); }
limited tessel --version >/dev/null 2>&1 || { echo "skip: tessel does not start under the limit"; exit 77; }
seq 100000 700000 | tr 0-9 a-j >big.txt  # 600,000 distinct words
learn=(-u "$DATA/lm/plain/*.txt" -o 1 -v --exit-status)
tessel -p "$DATA/lm/prot/*.txt" "${learn[@]}" 2>/dev/null
md5sum p.bin* u.bin* tessel.* >saved
for jobs in 1 4; do
  limited tessel -j $jobs -p big.txt "${learn[@]}"
  echo "-j $jobs: status $?"
done
md5sum -c --quiet saved && ls -A
