# tessel-serve judges a body of 100 MiB as it arrives: the server's memory
# grows by far less than the body, and the verdict is the tool's.
source "$(dirname "$0")/lib.sh"
train model
write_config serve.conf "max_body = 300000000" "read_timeout = 60" "judge_timeout = 60"
start_serve serve.conf
big_body big 100
before=$(peak_kb "$server")
answer=$(curl -s -m 60 -T big -X POST "http://127.0.0.1:$port/v1/judge")
grown=$(($(peak_kb "$server") - before))
tool=$("$TESSEL" -t stop.txt -p model/p.bin -u model/u.bin -f -d big --format=json)
expect "same as the tool" "$(sed 's/,"generation":1//; s/"path":"[^"]*"//' <<<"$answer")" \
  "$(sed 's/"path":"[^"]*"//' <<<"$tool")"
((grown < 30000)) || fail "the server grew by $grown KiB for a body of 100 MiB"
stop_serve
