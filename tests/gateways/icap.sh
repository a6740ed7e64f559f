# The ICAP service in Debian's c-icap on 127.0.0.1, driven by c-icap-client:
# RESPMOD and REQMOD, with and without preview and 204; a protected body is
# blocked, a clean one gets 204; monitor mode marks instead of blocking; a
# body over the limit passes unjudged; a damaged model on reconfiguration
# leaves the old one serving.
source "$(dirname "$0")/lib.sh"
need_icap
# PDF bodies go through a converter (here one that drops the NUL bytes the
# test's "PDF" has after each byte), and log lines name the protected file.
printf '#!/bin/sh\ntr -d "\\000" <"$1"\n' >strip && chmod +x strip
serve_icap block "converter = application/pdf $work/strip" "sources = yes"

icap() {  # icap FILE [c-icap-client ARGS...]: the answer's headers and body
  local file=$1; shift
  icap_send "$file" -o out -v "$@" 2>&1 | tr -d '\t'
  cat out 2>/dev/null || true; rm -f out
}
has() {  # has WHAT TEXT LINE...: every line is in the text
  local what=$1 text=$2; shift 2
  for line in "$@"; do grep -qxF -- "$line" <<<"$text" || fail "$what: no '$line' in: $text"; done
}

has "leak, RESPMOD" "$(icap docs/ru_leak.txt)" 'ICAP/1.0 200 OK' 'X-Tessel-Verdict: protected' \
  'HTTP/1.1 403 Forbidden' 'X-Tessel-Score: 68.1818' 'Blocked: the document holds protected text.'
has "leak, REQMOD" "$(icap docs/ru_leak.txt -req http://upload.test/form)" 'HTTP/1.1 403 Forbidden'
has "leak, no preview" "$(icap docs/ru_leak.txt -nopreview)" 'HTTP/1.1 403 Forbidden'
has "clean" "$(icap docs/weekly_update.txt)" 'ICAP/1.0 204 Unmodified' 'X-Tessel-Verdict: clean'
has "clean, no 204" "$(icap docs/weekly_update.txt -no204)" 'ICAP/1.0 200 OK' "$(head -1 docs/weekly_update.txt)"
sed 's/./&\x00/g' docs/ru_leak.txt >leak.pdf
has "PDF, converted" "$(icap leak.pdf -rhx 'Content-Type: application/pdf')" 'HTTP/1.1 403 Forbidden'
has "PDF, unconverted" "$(icap leak.pdf)" 'ICAP/1.0 204 Unmodified'
logged '"verdict":true,"score":68.18[0-9]*,"protected":15,"source":"../protected/ru_contract.txt"'
for _ in $(seq 30); do cat docs/ru_leak.txt; done >big
has "over the limit" "$(icap big)" 'ICAP/1.0 204 Unmodified'
logged '"front":"icap","id":"[0-9]*-[0-9]*","size":6300,"outcome":"too_large"'

# c-icap's reconfiguration (SIGHUP) reads the service's file again.
icap_config monitor
kill -HUP "$(cat c-icap.pid)"
wait_log model_loaded 2
sleep 0.5
answer=$(icap docs/ru_leak.txt -no204)
has "monitor" "$answer" 'X-Tessel-Verdict: protected' 'X-Tessel-Score: 68.1818' "$(head -1 docs/ru_leak.txt)"
grep -q 'Blocked' <<<"$answer" && fail "monitor mode blocked"
printf 'X' >>model/p.bin
# c-icap ignores a SIGHUP while the last reconfiguration is still finishing.
for i in $(seq 50); do
  [ $((i % 10)) = 1 ] && kill -HUP "$(cat c-icap.pid)"
  grep -q reload_failed requests.log && break
  sleep 0.1
done
grep -q '"event":"reload_failed","detail":"model file .*p.bin is damaged' requests.log || fail "no failure logged: $(cat requests.log server.log)"
sleep 0.5
has "damaged: the old model serves" "$(icap docs/ru_leak.txt -no204)" 'X-Tessel-Verdict: protected' 'X-Tessel-Score: 68.1818'
