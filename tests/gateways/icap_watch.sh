# With watch_model, the ICAP service's child of c-icap loads a model
# retrained into the served directory by itself, without c-icap's
# reconfiguration (which would replace the child and close its connections);
# a damaged model written there is logged and the old one serves on.
source "$(dirname "$0")/lib.sh"
need_icap
serve_icap block "watch_model = true"
verdict() { icap_send docs/ru_leak.txt -v 2>&1 | grep -o 'X-Tessel-Verdict: [a-z]*' | head -1; }
expect "first model" "$(verdict)" 'X-Tessel-Verdict: protected'  # and the child watches from now on
sleep 0.2
retrain model reverse
wait_log 'generation 2 from'
expect "retrained in place" "$(verdict)" 'X-Tessel-Verdict: clean'
printf 'X' >>model/p.bin
wait_log '"event":"reload_failed".*p.bin'
expect "damaged: the old model serves" "$(verdict)" 'X-Tessel-Verdict: clean'
expect "one child, never restarted" "$(grep -c 'Going to reconfigure' server.log || true)" 0
