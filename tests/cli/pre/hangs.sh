# --pre never hangs: a FIFO and a link to /dev/zero are refused before the
# program starts; a program that outlives --pre-timeout is stopped with its
# process group and its document gets no verdict; a process the program left
# behind holding its output is stopped once that output goes quiet, and the
# document is judged. A timeout that is not wholly a number is refused.
C="$SRC/examples/corpus"
cp -r "$MODELS/examples" model
m=(-t "$C/stop.txt" -f -p model/p.bin -u model/u.bin)
cat >slow <<'EOF2'
#!/bin/sh
cat "$1"
sleep 30 & echo $! >child
sleep 30
EOF2
cat >leaves <<'EOF2'
#!/bin/sh
cat "$1"
sleep 30 & echo $! >child
EOF2
chmod +x slow leaves && mkdir store && cp "$C/docs/ru_leak.txt" store/ && mkfifo store/fifo.txt
ln -s /dev/zero store/zero.txt
limit=3 && [ -n "${TESSEL_CLI_WRAPPER:-}" ] && limit=30  # seconds a run may take
gone() {  # the child the program started is dead (a zombie nobody reaps counts)
  case $(ps -o stat= -p "$(cat child)") in "" | Z*) echo "its child is gone" ;; *) echo "its child runs" ;; esac
}
echo "== a FIFO and a device"
PATH="$SRC/examples/pre:$PATH" timeout 60 tessel --pre any2text "${m[@]}" -d 'store/*' --exit-status
echo "status $?"
echo "== a program that runs too long"
SECONDS=0 && timeout 60 tessel --pre ./slow --pre-timeout=1 "${m[@]}" -d store/ru_leak.txt --format=json --exit-status
echo "status $?, done in time: $((SECONDS < limit))" && gone
echo "== a child left holding the output"
SECONDS=0 && timeout 60 tessel --pre ./leaves "${m[@]}" -d store/ru_leak.txt --exit-status
echo "status $?, done in time: $((SECONDS < limit))" && gone
echo "== timeouts"
for t in 0 2.5 1x "" -1 1e3 .; do tessel --pre-timeout="$t" --exit-status --version >/dev/null; echo "$t: $?"; done
