# With watch_model, tessel-serve reloads by itself when the model directory
# changes: a retraining saved into it is loaded once, whole; a damaged model
# written there is logged and the old one serves on; a directory renamed
# into the model's place is loaded and watched in its turn.
source "$(dirname "$0")/lib.sh"
train model
write_config serve.conf "watch_model = true"
start_serve serve.conf
verdict() { post docs/ru_leak.txt | grep -o '"verdict":[a-z]*,.*"generation":[0-9]*' | sed 's/,"score.*"generation"/ generation/'; }
wait_log() {  # wait_log PATTERN
  for _ in $(seq 300); do grep -q "$1" requests.log && return; sleep 0.05; done
  fail "no \"$1\" in the log: $(cat requests.log)"
}
retrain_here() {  # a save into the served directory itself, sides swapped as asked
  local p=protected u=unprotected
  [ "${1:-}" = reverse ] && { p=unprotected; u=protected; }
  (cd model && "$TESSEL" -t ../stop.txt -p "../$p/*.txt" -u "../$u/*.txt" -v >/dev/null 2>&1)
}
expect "first model" "$(verdict)" '"verdict":true generation:1'

retrain_here reverse
wait_log 'generation 2 from'
expect "retrained in place" "$(verdict)" '"verdict":false generation:2'
sleep 1
expect "one load for the whole save" "$(grep -c '"event":"model_loaded"' requests.log)" 2

printf 'X' >>model/p.bin
wait_log '"event":"reload_failed".*p.bin'
expect "damaged: the old model serves" "$(verdict)" '"verdict":false generation:2'

train model  # a new directory renamed over the served one
wait_log 'generation 3 from'
expect "replaced" "$(verdict)" '"verdict":true generation:3'
retrain_here reverse
wait_log 'generation 4 from'
expect "the new directory is watched" "$(verdict)" '"verdict":false generation:4'
kill -TERM "$server"
wait_exit "$server" 5
expect "exit" "$status" 0
