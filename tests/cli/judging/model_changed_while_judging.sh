# labels: threads
# A run judging with a loaded model keeps the model it loaded when its files
# are cut short, copied over in place or replaced while it judges (a file
# still mapped would have killed it with SIGBUS): the document, read from a
# FIFO once all four files have changed, gets the old model's verdict. A run
# started afterwards refuses the files as they now are: they no longer match
# the model's description.
cp "$DATA/lm/docs/d1.txt" . && mkfifo late.txt
tessel -p "$DATA/lm/plain/*.txt" -u "$DATA/lm/prot/*.txt" -o 1 -v && mkdir other && mv *.bin* other/
tessel -p "$DATA/lm/prot/*.txt" -u "$DATA/lm/plain/*.txt" -o 1 -v
reading() {  # whether process $1 holds late.txt open for reading only (not
  # the writer's descriptor, which the forked shell holds until it starts tessel)
  local fd
  for fd in /proc/$1/fd/*; do
    [ "$(readlink "$fd")" = "$PWD/late.txt" ] || continue
    (( (8#$(awk '/^flags/ {print $2}' "/proc/$1/fdinfo/${fd##*/}") & 3) == 0 )) && return 0
  done 2>/dev/null
  return 1
}
exec 3<>late.txt  # a writer: the run waits for the text
tessel -f -p p.bin -u u.bin -o 1 -d late.txt >run.out 2>&1 3>&- &
for _ in $(seq 3000); do reading $! && break; sleep 0.02; done
: >p.bin.2 && truncate -s 8 u.bin.2 && cp other/p.bin p.bin && cp other/u.bin u.bin.new && mv u.bin.new u.bin
cat d1.txt >&3 && exec 3>&-
wait $! && cat run.out
tessel -f -p p.bin -u u.bin -o 1 -d d1.txt 2>&1
