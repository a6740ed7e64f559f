# With watch_model, tessel-serve reloads by itself when the model directory
# changes: a retraining saved into it is loaded once, whole; a damaged model
# written there is logged and the old one serves on; a directory renamed
# into the model's place is loaded and watched in its turn.
source "$(dirname "$0")/lib.sh"
serve "watch_model = true"
expect "first model" "$(verdict)" '"verdict":true generation:1'

retrain model reverse
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
retrain model reverse
wait_log 'generation 4 from'
expect "the new directory is watched" "$(verdict)" '"verdict":false generation:4'
stop_serve
