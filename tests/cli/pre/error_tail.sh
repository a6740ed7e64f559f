# Of what a --pre program writes to standard error only the last 4 KiB are
# kept and passed on, whole lines, after a note of how many bytes were left
# out: 100 MB of warnings neither fill the memory nor the terminal.
C="$SRC/examples/corpus"
cp -r "$MODELS/examples" model
cat >noisy <<'EOF2'
#!/bin/sh
yes "Syntax Warning: damaged object" | head -n 3300000 >&2  # 102 MB
echo "Syntax Error: the last word" >&2
exec cat "$1"
EOF2
chmod +x noisy && cp "$C/docs/ru_leak.txt" .
tessel --pre ./noisy -t "$C/stop.txt" -f -p model/p.bin -u model/u.bin -d ru_leak.txt 2>err
uniq -c err
if [ -n "${TESSEL_CLI_WRAPPER:-}" ] || ! [ -x /usr/bin/time ] ||
    ldd "$(command -v tessel)" | grep -q libasan; then
  echo "skip: peak memory is measured on the plain build only"; exit 77
fi
peak=$(/usr/bin/time -f %M tessel --pre ./noisy -t "$C/stop.txt" -f -p model/p.bin -u model/u.bin \
  -d ru_leak.txt 2>&1 >/dev/null | tail -1)
[ "$peak" -lt 50000 ] && echo "below 50 MB" || echo "$peak KB"
