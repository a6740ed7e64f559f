#!/usr/bin/env bash
# Load on a gateway over loopback: CLIENTS concurrent clients send REQUESTS
# documents (2,000 documents of 1-100 KB, taken in turn) to FRONT (http:
# tessel-serve, icap: the tessel service in c-icap, milter: tessel-milter)
# while the model is swapped every second (http: SIGHUP, milter: SIGUSR1,
# icap: watch_model, its description renamed over itself; or with
# ICAP_SWAP=reconfigure, c-icap's reconfiguration by SIGHUP); then the tool
# judges the same documents as often with -j, for comparison. Prints the
# processor seconds of the server (with its children) and of the client
# during the run, and of the tool's runs (/usr/bin/time).
#
#     bench/gateways_load.sh BUILD_DIR [REQUESTS [CLIENTS [FRONT]]]
#
# The corpus and model are made once in $TESSEL_BENCH_DIR (default
# /tmp/tessel-gateways-bench). Failures are the clients' (no answer, or not
# a judged one) and the request log's lines with an outcome but "judged".
set -euo pipefail
build=$(cd "$1" && pwd)
requests=${2:-10000}
count=2000
clients=${3:-32}
bench_root=$(cd "$(dirname "$0")/.." && pwd)
work=${TESSEL_BENCH_DIR:-/tmp/tessel-gateways-bench}
mkdir -p "$work"
cd "$work"
if [ ! -d corpus/docs ]; then
  python3 "$bench_root/bench/make_corpus.py" corpus 60 >/dev/null
  python3 "$bench_root/bench/make_documents.py" corpus "$count" 30 >/dev/null
fi
if [ ! -f model/p.bin ]; then
  mkdir -p model
  (cd model && "$build/tessel" -p '../corpus/learn/protected/*' -u '../corpus/learn/unprotected/*' -v >/dev/null 2>&1)
fi
front=${4:-http}
# The client in C++ (bench/gateways_load.cpp, built with the benchmarks)
# takes a fraction of the Python one's processor time, which the gateway
# would otherwise share; CLIENT=python takes the Python one.
if [ "${CLIENT:-}" != python ] && [ -x "$build/bench/gateways_load" ]; then
  client=("$build/bench/gateways_load")
else
  client=(python3 "$bench_root/bench/gateways_load.py")
fi
# Processor seconds (user and system) of a process and its descendants, from
# /proc: c-icap judges in its children.
cpu_seconds() {
  local total=0 queue=("$1") pid task
  while [ ${#queue[@]} -gt 0 ]; do
    pid=${queue[0]} queue=("${queue[@]:1}")
    [ -r "/proc/$pid/stat" ] || continue
    total=$((total + $(sed 's/.*) //' "/proc/$pid/stat" | awk '{print $12 + $13}')))
    for task in /proc/"$pid"/task/*/children; do queue+=($(cat "$task" 2>/dev/null)); done
  done
  echo "scale=2; $total / $(getconf CLK_TCK)" | bc
}
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
printf 'model = %s/model\nmax_in_flight = %s\nrequest_log = %s/requests.log\n' "$work" "$clients" "$work" >gateway.conf
rm -f port requests.log c-icap.pid
case $front in
  http)
    printf 'listen = 127.0.0.1:0\nport_file = %s/port\n' "$work" >>gateway.conf
    "$build/serve/tessel-serve" gateway.conf 2>server.err &
    server=$! reload=HUP
    for _ in $(seq 100); do [ -s port ] && break; sleep 0.05; done
    port=$(cat port) ;;
  milter)
    port=$(free_port)
    printf 'listen = inet:%s@127.0.0.1\naction = headers\n' "$port" >>gateway.conf
    "$build/serve/tessel-milter" gateway.conf 2>server.err &
    server=$! reload=USR1
    sleep 1 ;;
  icap)
    port=$(free_port)
    printf 'action = block\n' >>gateway.conf
    if [ "${ICAP_SWAP:-watch}" = reconfigure ]; then reload=HUP; else reload=watch; echo 'watch_model = true' >>gateway.conf; fi
    cat >c-icap.conf <<CONF
PidFile $work/c-icap.pid
CommandsSocket $work/c-icap.ctl
Timeout 60
KeepAliveTimeout 60
MaxKeepAliveRequests -1
StartServers 1
MaxServers 1
MinSpareThreads 1
MaxSpareThreads $((clients + 8))
ThreadsPerChild $((clients + 8))
MaxRequestsPerChild 0
Port 127.0.0.1:$port
TmpDir $work
ServerLog $work/server.log
AccessLog /dev/null
ServicesDir $build/serve
Service tessel srv_tessel.so
tessel.ConfigFile $work/gateway.conf
CONF
    c-icap -N -f "$work/c-icap.conf" >server.err 2>&1 &
    server=$!
    for _ in $(seq 100); do c-icap-client -i 127.0.0.1 -p "$port" -s tessel >/dev/null 2>&1 && break; sleep 0.1; done ;;
  *) echo "FRONT is http, icap or milter" >&2; exit 2 ;;
esac
swapper=""
trap 'kill $server $swapper 2>/dev/null || true' EXIT
swap() {
  if [ "$reload" = watch ]; then
    cp model/tessel.model model/tessel.model.copy && mv model/tessel.model.copy model/tessel.model
  else
    kill -$reload "$server"
  fi
}
(while sleep 1; do swap; done) &
swapper=$!
mapfile -t documents < <(ls -d "$work"/corpus/docs/*)
rounds=$(( (requests + count - 1) / count ))
all=()
for _ in $(seq "$rounds"); do all+=("${documents[@]}"); done
status=0
server_before=$(cpu_seconds "$server")
/usr/bin/time -f '%U %S' -o client.time \
  "${client[@]}" "$front" "$port" "$clients" "$server" "${all[@]:0:$requests}" || status=$?
server_cpu=$(echo "$(cpu_seconds "$server") - $server_before" | bc)
kill "$swapper"
sleep 0.5
echo "model loads: $(grep -c model_loaded requests.log), failed loads: $(grep -c reload_failed requests.log || true)"
echo "request log: $(grep -o '"outcome":"[a-z_]*"' requests.log | sort | uniq -c | tr -s ' \n' ' ')"
grep -q '"outcome":"judged"' requests.log && ! grep -v '"outcome":"judged"' requests.log | grep -q '"outcome"' || status=1
kill -TERM "$server"
wait "$server" || true
echo "processor seconds: server $server_cpu, client $(tail -1 client.time | awk '{print $1 + $2}')"
start=$(date +%s.%N)
: >tool.time
for _ in $(seq "$rounds"); do
  /usr/bin/time -a -o tool.time -f '%U %S' \
    "$build/tessel" -f -p model/p.bin -u model/u.bin -j "$(nproc)" -d 'corpus/docs/*' >/dev/null 2>&1
done
end=$(date +%s.%N)
echo "tessel -j $(nproc): $(echo "$end - $start" | bc) s, $(awk '{s += $1 + $2} END {print s}' tool.time) processor seconds for the same $((rounds * count)) documents"
exit $status
