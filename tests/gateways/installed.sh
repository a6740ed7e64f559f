# The gateways start from an installed tree with the installed configuration
# examples, changed only where the model is and where to listen.
source "$(dirname "$0")/lib.sh"
prefix=$work/prefix
cmake --install "$BUILD" --prefix "$prefix" >/dev/null
train model
adapt() {  # adapt FILE LISTEN: the installed example with this test's model, stop words, log file and address
  sed -i -e "s|^model = .*|model = $work/model|" -e 's|^# stop_words = .*|stop_words = '"$work"'/stop.txt|' \
    -e "s|^request_log = /.*|request_log = $work/requests.log|" -e "s|^listen = .*|listen = $2|" "$1"
}
cp "$prefix/etc/tessel/serve.conf" . && adapt serve.conf 127.0.0.1:0 && echo "port_file = $work/port" >>serve.conf
GATEWAY_BIN=$prefix/sbin start_serve serve.conf
expect "installed tessel-serve" "$(post docs/ru_leak.txt | cut -c1-3)" 200
logged '"outcome":"judged","verdict":true' serve.err
kill -TERM "$server"
# The units and c-icap's lines name the paths of the prefix installed to.
expect "unit" "$(grep ^ExecStart= "$prefix/lib/systemd/system/tessel-serve.service")" \
  "ExecStart=$prefix/sbin/tessel-serve $prefix/etc/tessel/serve.conf"
if [ -x "$GATEWAY_BIN/tessel-milter" ]; then
  expect "milter unit" "$(grep ^ExecStart= "$prefix/lib/systemd/system/tessel-milter.service")" \
    "ExecStart=$prefix/sbin/tessel-milter $prefix/etc/tessel/milter.conf"
  port=$((20000 + RANDOM % 40000))
  adapt "$prefix/etc/tessel/milter.conf" "inet:$port@127.0.0.1"
  "$prefix/sbin/tessel-milter" "$prefix/etc/tessel/milter.conf" 2>>milter.err &
  pids+=($!)
  if command -v miltertest >/dev/null; then
    { printf 'From: a@example.test\nTo: b@example.test\nSubject: s\n\n'; cat docs/ru_leak.txt; } >leak.eml
    expect "installed tessel-milter" "$(send_mail leak.eml)" "leak.eml: SMFIR_CONTINUE verdict-header score-header"
  fi
  kill -TERM "${pids[-1]}"
fi
if [ -f "${ICAP_MODULE_DIR:-}/srv_tessel.so" ] && command -v c-icap >/dev/null; then
  expect "c-icap lines" "$(grep -v '^#' "$prefix/etc/tessel/c-icap-tessel.conf")" \
    "Service tessel $prefix/lib*/tessel/srv_tessel.so
tessel.ConfigFile $prefix/etc/tessel/icap.conf"
  adapt "$prefix/etc/tessel/icap.conf" none  # c-icap listens, not the service
  # c-icap reads the installed lines through its own Include.
  icap_service="Include $prefix/etc/tessel/c-icap-tessel.conf" start_icap
  icap_send docs/ru_leak.txt -o out >/dev/null 2>&1 || true
  expect "installed ICAP service" "$(cat out 2>/dev/null)" "*Blocked: the document holds protected text.*"
  kill -TERM "$icap"
fi
# The programs and the module find the installed library by themselves.
for program in $(find "$prefix" -name srv_tessel.so -o -name tessel-milter -o -name tessel-serve); do
  ldd "$program" | grep "libtessel.so.* => $prefix/" >/dev/null || fail "$(ldd "$program")"
done
