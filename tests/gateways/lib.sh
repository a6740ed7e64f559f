# Shared by the gateway tests: a model trained on the example corpus, a
# server started on 127.0.0.1 with a free port, stopped when the test exits
# whatever happens. Sourced with TESSEL, GATEWAY_BIN and SRC set.
set -euo pipefail
work=$(mktemp -d)
pids=()
cleanup() {
  # c-icap, asked to stop, ends its children itself.
  [ -z "${icap:-}" ] || { kill -TERM "$icap" 2>/dev/null || true; for _ in $(seq 50); do kill -0 "$icap" 2>/dev/null || break; sleep 0.1; done; }
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
cp -r "$SRC/examples/corpus/." .

fail() { echo "FAIL: $*" >&2; exit 1; }

# retrain DIR [reverse [OPTIONS...]]: a model (shingle mode unless the
# options say otherwise) saved into DIR itself; "reverse" swaps the sides, so
# that what one model flags the other does not. train DIR [...]: the same
# trained beside DIR and renamed over it.
retrain() {
  local dir=$1 p=protected u=unprotected
  [ "${2:-}" = reverse ] && { p=unprotected; u=protected; }
  mkdir -p "$dir"
  (cd "$dir" && "$TESSEL" -t ../stop.txt -p "../$p/*.txt" -u "../$u/*.txt" -v "${@:3}" >/dev/null 2>&1)
}
train() { retrain "$1.new" "${@:2}" && rm -rf "$1" && mv "$1.new" "$1"; }

# config FILE [LINE...]: a configuration of the model and its stop words, then
# the lines given; write_config FILE [LINE...]: tessel-serve's, on a free port.
config() { printf '%s\n' "model = $work/model" "stop_words = $work/stop.txt" "${@:2}" >"$1"; }
write_config() { config "$1" "listen = 127.0.0.1:0" "port_file = $work/port" "request_log = $work/requests.log" "${@:2}"; }

# start_serve CONFIG: starts tessel-serve, once the one started before has
# stopped, and waits until it is ready: its port written (in $port), or the
# command in $ready succeeds.
start_serve() {
  ! kill -0 "${server:-none}" 2>/dev/null || stop_serve
  rm -f port
  "$GATEWAY_BIN/tessel-serve" "$1" 2>>serve.err &
  server=$!
  pids+=("$server")
  for _ in $(seq 300); do ${ready:-test -s port} && break; sleep 0.05; done
  ${ready:-test -s port} || fail "tessel-serve did not start: $(cat serve.err)"
  port=$(cat port 2>/dev/null || true)
}

# post FILE [CURL ARGS...]: prints the status, a space, and the body.
post() {
  local file=$1; shift
  curl -s -m 10 -o body -w '%{http_code}' --data-binary "@$file" "$@" "http://127.0.0.1:$port/v1/judge${query:-}"
  echo " $(cat body)"
}

expect() {  # expect WHAT ACTUAL PATTERN
  [[ $2 == $3 ]] || fail "$1: got '$2', expected '$3'"
}
# logged PATTERN [LOG]: a line of LOG (requests.log) matches the pattern.
logged() { grep -q -- "$1" "${2:-requests.log}" || fail "log: $(cat "${2:-requests.log}")"; }

# tool_json DOCUMENT [OPTIONS...]: the tool's JSON line for the document, judged with model.
tool_json() { "$TESSEL" -t stop.txt -p model/p.bin -u model/u.bin -f -d "$@" --format=json; }
# same_as_tool WHAT DOCUMENT [OPTIONS...]: the answer to the document posted is
# the tool's JSON line but for the path and the generation.
same_as_tool() {
  expect "$1" "$(cut -d' ' -f2- <<<"$(post "$2")" | sed 's/,"generation":1//; s/"path":"[^"]*"//')" \
    "$(tool_json "${@:2}" | sed 's/"path":"[^"]*"//; s/[][*?\\]/\\&/g')"
}

# verdict: the leak's verdict and the model generation that gave it.
verdict() { post docs/ru_leak.txt | grep -o '"verdict":[a-z]*,.*"generation":[0-9]*' | sed 's/,"score.*"generation"/ generation/'; }

# wait_log PATTERN [COUNT [LOG]]: waits until LOG (requests.log) has COUNT
# (1) lines matching the pattern.
wait_log() {
  local log=${3:-requests.log}
  for _ in $(seq 300); do [ "$(grep -c "$1" "$log" 2>/dev/null)" -ge "${2:-1}" ] 2>/dev/null && return; sleep 0.05; done
  fail "no ${2:-1} \"$1\" in the log: $(cat "$log")"
}

# wait_exit PID SECONDS: waits for a server that must stop in time, with exit
# status 0.
wait_exit() {
  for _ in $(seq $(($2 * 20))); do kill -0 "$1" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$1" 2>/dev/null && fail "the server did not stop in $2 s"
  status=0
  wait "$1" || status=$?
  expect "exit" "$status" 0
}

# raw TEXT [SECONDS]: sends the bytes to $port as they are, prints the first
# line of the answer (waiting 5 s at most).
raw() {
  exec 3<>"/dev/tcp/127.0.0.1/$port"
  printf "$1" >&3 || true  # the server may close before it has read all
  timeout "${2:-5}" head -1 <&3 | tr -d '\r' || true
  exec 3<&-
}

# refused CONFIG: the exit status and message of a tessel-serve that must not start.
refused() {
  status=0; timeout 10 "$GATEWAY_BIN/tessel-serve" "$1" 2>err || status=$?
  echo "$status $(cat err)"
}

stop() {  # stop PID: SIGTERM to a server, which must exit 0 within 5 s
  kill -TERM "$1"
  wait_exit "$1" 5
}
stop_serve() { stop "$server"; }

# serve [CONFIGURATION LINE...]: tessel-serve on a model trained into model,
# with the training options in $training; serve_again: on the model as it is.
serve() { train model - ${training:-} && serve_again "$@"; }
serve_again() { write_config serve.conf "$@" && start_serve serve.conf; }

need_milter() {  # need_milter [miltertest]: tessel-milter, and miltertest when asked for
  [ -z "${1:-}" ] || command -v miltertest >/dev/null || { echo "skip: no miltertest"; exit 77; }
  [ -x "$GATEWAY_BIN/tessel-milter" ] || { echo "skip: tessel-milter not built"; exit 77; }
}

# start_milter NAME [CONFIGURATION LINE...]: tessel-milter on a free port (in
# $port, process in $milter) with the model and NAME.conf, logging to NAME.log.
start_milter() {
  port=$((20000 + RANDOM % 40000))
  config "$1.conf" "listen = 127.0.0.1:$port" "request_log = $work/$1.log" "${@:2}"
  "$GATEWAY_BIN/tessel-milter" "$1.conf" 2>>milter.err &
  milter=$!
  pids+=("$milter")
}

send_mail() {  # send_mail MESSAGE...: miltertest's lines for the messages (milter.lua)
  timeout "${mail_timeout:-15}" miltertest -D port="$port" -D messages="$(IFS=,; echo "$*")" \
    -s "$SRC/tests/gateways/milter.lua" 2>&1 || true
}

need_icap() {
  command -v c-icap >/dev/null && command -v c-icap-client >/dev/null || { echo "skip: no c-icap"; exit 77; }
  [ -f "${ICAP_MODULE_DIR:-}/srv_tessel.so" ] || { echo "skip: the ICAP module is not built"; exit 77; }
}

# icap_send FILE [c-icap-client ARGS...]: FILE sent to the tessel service by
# c-icap-client, for at most 10 s (send_timeout).
icap_send() { timeout "${send_timeout:-10}" c-icap-client -i 127.0.0.1 -p "$port" -s tessel -f "$@"; }

icap_config() {  # icap_config ACTION [LINE...]: the service's configuration, icap.conf
  config icap.conf "action = $1" "max_body = 4096" "request_log = $work/requests.log" "${@:2}"
}
# serve_icap ACTION [LINE...]: c-icap serving a model trained into model.
serve_icap() { train model && icap_config "$@" && start_icap; }

# start_icap: c-icap with the tessel service on 127.0.0.1 (port in $port,
# process in $icap); $icap_service, when set, holds the lines that load it.
start_icap() {
  for attempt in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 40000))
    cat >c-icap.conf <<CONF
PidFile $work/c-icap.pid
CommandsSocket $work/c-icap.ctl
Timeout ${icap_timeout:-10}
StartServers 1
MaxServers 1
MinSpareThreads 2
MaxSpareThreads 8
ThreadsPerChild 8
Port 127.0.0.1:$port
TmpDir $work
ServerLog $work/server.log
AccessLog $work/access.log
${icap_service:-ServicesDir $ICAP_MODULE_DIR
Service tessel srv_tessel.so
tessel.ConfigFile $work/icap.conf}
CONF
    c-icap -N -f "$work/c-icap.conf" >c-icap.out 2>&1 &
    icap=$!
    pids+=("$icap")
    for _ in $(seq 40); do
      c-icap-client -i 127.0.0.1 -p "$port" -s tessel >/dev/null 2>&1 && break 2
      kill -0 "$icap" 2>/dev/null || break
      sleep 0.1
    done
    kill -TERM "$icap" 2>/dev/null || true
  done
  c-icap-client -i 127.0.0.1 -p "$port" -s tessel >/dev/null 2>&1 || fail "c-icap did not start: $(cat c-icap.out server.log 2>/dev/null)"
}

# big_body FILE MB: MB megabytes of the example documents over and over, a
# leak among them.
big_body() { yes "$(cat docs/weekly_update.txt docs/ru_leak.txt)" | head -c $(($2 << 20)) >"$1" || true; }
# peak_kb PID: the most resident memory the process has had, in KiB.
peak_kb() { awk '/^VmHWM/ { print $2 }' "/proc/$1/status"; }
# sanitized: whether the programs are a sanitizer build, whose quarantine of
# freed memory makes resident memory no measure of what the code holds.
sanitized() { ldd "$TESSEL" | grep -q libasan; }
