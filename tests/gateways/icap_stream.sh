# The ICAP service judges a body of 50 MiB as it arrives: c-icap's child
# grows by far less than the body, and the verdict is the tool's.
source "$(dirname "$0")/lib.sh"
need_icap
serve_icap block "max_body = 300000000"
big_body big 50
child=$(pgrep -P "$icap" | head -1)
before=$(peak_kb "$child")
send_timeout=60 icap_send big -o out -v >answer 2>&1
grown=$(($(peak_kb "$child") - before))
grep -q 'X-Tessel-Verdict: protected' answer || fail "answer: $(cat answer)"
logged "\"size\":$(stat -c %s big),\"outcome\":\"judged\",\"verdict\":true,$(tool_json big | grep -o '"score":[0-9.]*'),"
sanitized || ((grown < 30000)) || fail "c-icap's child grew by $grown KiB for a body of 50 MiB"
# A clean body sent back whole (no 204) passes through c-icap's body file.
yes "$(cat docs/weekly_update.txt)" | head -c 5000000 >clean || true
rm -f out
send_timeout=30 icap_send clean -o out -no204 -v >/dev/null 2>&1
cmp -s clean out || fail "the clean body came back changed: $(wc -c <out) bytes"
