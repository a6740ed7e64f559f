# tessel-milter under an MTA that misbehaves and a model that breaks: a
# connection dropped mid-body and one that stalls cost their own message
# only; a damaged or removed model on SIGUSR1 is logged and
# the old one serves on; SIGTERM with a message in progress exits 0 at once,
# the message left to the MTA.
source "$(dirname "$0")/lib.sh"
need_milter miltertest
train model
start_milter requests "action = headers"
run() {  # run CASE [WAIT]
  timeout 15 miltertest -D port="$port" -D case="$1" -D wait="${2:-0}" \
    -s "$SRC/tests/gateways/milter_faults.lua" 2>&1 || true
}
# The leak sent whole, as milter.sh sends it.
{ printf 'From: a@example.test\nSubject: s\nContent-Type: text/plain; charset=windows-1251\n\n'; cat docs/ru_leak.txt; } >leak.eml
leak() { send_mail leak.eml; }
judged='leak.eml: SMFIR_CONTINUE verdict-header score-header'

expect "hang-up" "$(run hangup)" "hangup: done"
expect "after a hang-up" "$(leak)" "$judged"
run stall 3 >stall.out &  # an MTA silent in the middle of a message
stalled=$!
sleep 0.5
expect "beside a stalled connection" "$(leak)" "$judged"
wait "$stalled"

printf 'X' >>model/p.bin
kill -USR1 "$milter"
wait_log '"event":"reload_failed".*p.bin'
expect "damaged: the old model serves" "$(leak)" "$judged"
rm -rf model
kill -USR1 "$milter"
wait_log '"event":"reload_failed"' 2
expect "removed: the old model serves" "$(leak)" "$judged"

rm -f marker
run term 2 >term.out &
client=$!
for _ in $(seq 100); do [ -e marker ] && break; sleep 0.05; done
[ -e marker ] || fail "the message did not start: $(cat term.out)"
kill -TERM "$milter"
wait "$client" || true
# libmilter stops its sessions at SIGTERM: a message not yet at its end is
# cut off, never given a verdict, and the MTA applies milter_default_action.
expect "in progress at SIGTERM" "$(cat term.out)" "miltertest: *"
wait_exit "$milter" 5
