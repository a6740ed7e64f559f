# tessel-milter under an MTA that misbehaves and a model that breaks: a
# connection dropped mid-body and one that stalls cost their own message
# only; a damaged or removed model on SIGUSR1 is logged and
# the old one serves on; SIGTERM with a message in progress exits 0 at once,
# the message left to the MTA.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
command -v miltertest >/dev/null || { echo "skip: no miltertest"; exit 77; }
[ -x "$GATEWAY_BIN/tessel-milter" ] || { echo "skip: tessel-milter not built"; exit 77; }
train model
port=$((20000 + RANDOM % 40000))
{ echo "model = $work/model"; echo "stop_words = $work/stop.txt"; echo "listen = 127.0.0.1:$port"
  echo "action = headers"; echo "request_log = $work/requests.log"; } >milter.conf
"$GATEWAY_BIN/tessel-milter" milter.conf 2>>milter.err &
milter=$!
pids+=("$milter")
run() {  # run CASE [WAIT]
  timeout 15 miltertest -D port="$port" -D case="$1" -D wait="${2:-0}" -s "$here/milter_faults.lua" 2>&1 || true
}
leak() {  # the leak sent whole, as milter.sh sends it
  { printf 'From: a@example.test\nSubject: s\nContent-Type: text/plain; charset=windows-1251\n\n'; cat docs/ru_leak.txt; } >leak.eml
  timeout 15 miltertest -D port="$port" -D messages=leak.eml -s "$here/milter.lua" 2>&1 || true
}
wait_log() {  # wait_log PATTERN COUNT
  for _ in $(seq 100); do [ "$(grep -c "$1" requests.log)" -ge "$2" ] && return; sleep 0.05; done
  fail "no $2 \"$1\" in the log: $(cat requests.log)"
}
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
wait_log '"event":"reload_failed".*p.bin' 1
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
expect "exit" "$status" 0
