# tessel-serve judges a body of 64 MiB as it arrives, posted whole or as a
# form's file part: the server's memory grows by far less than the body,
# and the verdict is the tool's.
source "$(dirname "$0")/lib.sh"
serve "max_body = 300000000" "read_timeout = 60" "judge_timeout = 60"
big_body big 64
before=$(peak_kb "$server")
answer=$(curl -s -m 60 -T big -X POST "http://127.0.0.1:$port/v1/judge?name=big")
form=$(curl -s -m 60 -F a=@big "http://127.0.0.1:$port/v1/judge")
grown=$(($(peak_kb "$server") - before))
expect "same as the tool" "$(sed 's/,"generation":1//' <<<"$answer")" "$(tool_json big)"
form=${form#\[}
expect "a form's part" "${form%\]}" "$answer"
sanitized || ((grown < 30000)) || fail "the server grew by $grown KiB for a body of 64 MiB"
stop_serve
