# The gateways start from an installed tree with the installed configuration
# examples, changed only where the model is and where to listen.
source "$(dirname "$0")/lib.sh"
prefix=$work/prefix
cmake --install "$BUILD" --prefix "$prefix" >/dev/null
train model
sed -e "s|^model = .*|model = $work/model|" -e 's|^# stop_words = .*|stop_words = '"$work"'/stop.txt|' \
  -e 's|^listen = .*|listen = 127.0.0.1:0|' "$prefix/etc/tessel/serve.conf" >serve.conf
echo "port_file = $work/port" >>serve.conf
GATEWAY_BIN=$prefix/sbin start_serve serve.conf
expect "installed tessel-serve" "$(post docs/ru_leak.txt | cut -c1-3)" 200
grep -q '"outcome":"judged","verdict":true' serve.err || fail "log: $(cat serve.err)"
kill -TERM "$server"
# The unit and c-icap's lines name the configured prefix's paths.
grep -qx "ExecStart=/.*/sbin/tessel-serve /.*etc/tessel/serve.conf" \
  "$prefix/lib/systemd/system/tessel-serve.service" || fail "unit: $(cat "$prefix/lib/systemd/system/tessel-serve.service")"
if [ -x "$GATEWAY_BIN/tessel-milter" ]; then
  for file in etc/tessel/milter.conf sbin/tessel-milter lib/systemd/system/tessel-milter.service; do
    [ -f "$prefix/$file" ] || fail "not installed: $file"
  done
fi
if [ -f "${ICAP_MODULE_DIR:-}/srv_tessel.so" ]; then
  [ -f "$prefix/etc/tessel/icap.conf" ] || fail "not installed: icap.conf"
  grep -qx "Service tessel /.*/tessel/srv_tessel.so" "$prefix/etc/tessel/c-icap-tessel.conf" || fail "c-icap lines"
fi
# The programs and the module find the installed library by themselves.
for program in $(find "$prefix" -name srv_tessel.so -o -name tessel-milter -o -name tessel-serve); do
  ldd "$program" | grep "libtessel.so.* => $prefix/" >/dev/null || fail "$(ldd "$program")"
done
