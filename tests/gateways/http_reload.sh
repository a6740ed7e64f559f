# A model swapped by SIGHUP while requests run: none fails, the new model
# judges the requests after the swap; a damaged or removed model is logged
# and the old one keeps serving.
source "$(dirname "$0")/lib.sh"
serve
expect "first model" "$(verdict)" '"verdict":true generation:1'

(for _ in $(seq 60); do post docs/ru_leak.txt | cut -c1-3; done >statuses) &
load=$!
pids+=("$load")
for _ in 1 2 3; do kill -HUP "$server"; sleep 0.1; done
wait "$load"
expect "no request failed during swaps" "$(sort -u statuses | tr '\n' ' ')" '200 '
wait_log 'generation 4 from'

train model reverse
kill -HUP "$server"
wait_log 'generation 5 from'
expect "the new model judges" "$(verdict)" '"verdict":false generation:5'

printf 'X' >>model/p.bin
kill -HUP "$server"
wait_log '"event":"reload_failed".*p.bin'
expect "damaged: the old model serves" "$(verdict)" '"verdict":false generation:5'
rm -rf model
kill -HUP "$server"
wait_log reload_failed 2
expect "removed: the old model serves" "$(verdict)" '"verdict":false generation:5'
grep -qx 'tessel_model_reload_failures_total 2' <(curl -s -m 5 "http://127.0.0.1:$port/metrics") || fail "failures not counted"
grep -qx 'tessel_model_generation 5' <(curl -s -m 5 "http://127.0.0.1:$port/metrics") || fail "generation"
stop_serve
