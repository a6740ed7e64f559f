#!/usr/bin/env bash
# Load on tessel-serve over loopback: CLIENTS concurrent clients post
# REQUESTS documents (2,000 documents of 1-100 KB, taken in turn) while the
# model is swapped (SIGHUP) every second; then the tool judges the same
# documents as often with -j, for comparison.
#
#     bench/gateways_load.sh BUILD_DIR [REQUESTS [CLIENTS]]
#
# The corpus and model are made once in $TESSEL_BENCH_DIR (default
# /tmp/tessel-gateways-bench).
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
printf 'model = %s/model\nlisten = 127.0.0.1:0\nport_file = %s/port\nmax_in_flight = %s\nrequest_log = %s/requests.log\n' \
  "$work" "$work" "$clients" "$work" >serve.conf
rm -f port requests.log
"$build/serve/tessel-serve" serve.conf 2>serve.err &
server=$!
swapper=""
trap 'kill $server $swapper 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s port ] && break; sleep 0.05; done
(while sleep 1; do kill -HUP "$server"; done) &
swapper=$!
mapfile -t documents < <(ls -d "$work"/corpus/docs/*)
rounds=$(( (requests + count - 1) / count ))
all=()
for _ in $(seq "$rounds"); do all+=("${documents[@]}"); done
status=0
python3 "$bench_root/bench/gateways_load.py" "$(cat port)" "$clients" "$server" "${all[@]:0:$requests}" || status=$?
kill "$swapper"
echo "model swaps: $(grep -c model_loaded requests.log)"
kill -TERM "$server"
wait "$server" || true
start=$(date +%s.%N)
for _ in $(seq "$rounds"); do
  "$build/tessel" -f -p model/p.bin -u model/u.bin -j "$(nproc)" -d 'corpus/docs/*' >/dev/null 2>&1
done
end=$(date +%s.%N)
echo "tessel -j $(nproc): $(echo "$end - $start" | bc) s for the same $((rounds * count)) documents"
exit $status
