# A save stopped at any of its steps (killed, or a rename that fails) never
# lets a later reader judge with a mix of old and new model files: each run
# below prints what -f then judges with, the old model, the new one, or a
# refusal naming the directory, which lasts until a save succeeds again. The
# sources each hit names come from the same save as the sets.
# strace stops the save at the Nth call of each step's system call, counted
# on one thread (-j 1: strace counts each thread's calls apart).
strace -o /dev/null true 2>/dev/null || { echo "skip: strace cannot trace here"; exit 77; }
# The calls are counted: a ThreadSanitizer runtime makes calls of its own.
# Under AddressSanitizer the same failures are taken in process, through the
# file-system seam (tests/core/set_file_faults_test.cpp); the traced saves,
# the slowest case of the release build, are not repeated there.
case $(ldd "$BIN/libtessel.so" 2>/dev/null) in
  *libtsan*) echo "skip: the ThreadSanitizer runtime makes system calls of its own"; exit 77 ;;
  *libasan*) echo "skip: the save's failures are taken in process under the sanitizers"; exit 77 ;;
esac
train() { "$BIN/tessel" -p "$DATA/lm/$1/*.txt" -u "$DATA/lm/$2/*.txt" -o 1 -v; }
judge() { rm -f docs/*.hdr; for doc in docs/d?.txt; do tessel -f -p p.bin -u u.bin -o 1 --sources=1 -d $doc; done 2>&1; }
what() {
  judge >now.out
  if cmp -s now.out old.out; then echo old; elif cmp -s now.out new.out; then echo new
  elif grep -q "^Error: the model in \. is \(incomplete\|damaged or mixed\)" now.out; then echo refused
  else echo MIXED; fi
}
cp -r "$DATA/lm/docs" . && train plain prot && judge >old.out && mkdir old && cp p.bin* u.bin* tessel.model tessel.sources old/
train prot plain && judge >new.out
for fault in signal=KILL error=EIO; do
  for call in sync_file_range fsync flock linkat rename unlink; do
    [ $fault = error=EIO ] && [ $call != rename ] && continue
    for n in $(seq 12); do
      rm -f tessel.saving && cp old/* .
      status=$(strace -o /dev/null -e inject=$call:$fault:when=$n "$BIN/tessel" -j 1 \
        -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -o 1 -v >save.out 2>&1; echo $?)
      [ $status -eq 0 ] && [ ! -s save.out ] && break  # fewer calls than n: the save is whole
      echo "$call $n ${fault%=*}ed ($status): $(what)" && cat save.out
    done
  done
done
grep "^Error: the model" now.out | uniq
train prot plain && echo "saved again: $(what)" && ls -A | grep -v "\.out$"
