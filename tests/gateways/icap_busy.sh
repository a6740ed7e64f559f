# At most max_in_flight documents are judged at once: while a slow converter
# holds the one slot, a second document waits queue_timeout, then passes
# unjudged and is logged as busy; the first is judged.
source "$(dirname "$0")/lib.sh"
need_icap
printf '#!/bin/sh\nsleep 2\ncat "$1"\n' >slow && chmod +x slow
serve_icap block "converter = application/pdf $work/slow" "max_in_flight = 1" "queue_timeout = 0.3"
send() {  # send N: the leak as a PDF body, the answer's headers in outN
  icap_send docs/ru_leak.txt -rhx 'Content-Type: application/pdf' -o "body$1" -v >"out$1" 2>&1 || true
}
send 1 &
first=$!
sleep 0.5
send 2
wait "$first"
wait_log '"outcome":' 2
expect "outcomes" "$(grep -o '"outcome":"[a-z]*"' requests.log | sort | tr '\n' ' ')" \
  '"outcome":"busy" "outcome":"judged" '
grep -q 'Blocked\|403' out1 || fail "the first was not blocked: $(cat out1)"
