# End to end: curl fetches a protected and an ordinary document from a local
# HTTP server through Squid, which asks the ICAP service in c-icap; the first
# is blocked, the second passes unchanged. Everything listens on 127.0.0.1.
source "$(dirname "$0")/lib.sh"
need_icap
command -v squid >/dev/null || { echo "skip: no squid"; exit 77; }
command -v python3 >/dev/null || { echo "skip: no python3"; exit 77; }
serve_icap block
icap_port=$port

# Squid drops root's privileges: its files must be reachable by its user.
chmod 755 "$work"
mkdir -m 777 squid
http_port=$((20000 + RANDOM % 40000))
(cd docs && exec python3 -m http.server --bind 127.0.0.1 "$http_port" >/dev/null 2>&1) &
pids+=("$!")
squid_port=$((20000 + RANDOM % 40000))
cat >squid/squid.conf <<CONF
http_port 127.0.0.1:$squid_port
pid_filename $work/squid/squid.pid
access_log $work/squid/access.log
cache_log $work/squid/cache.log
cache_store_log none
coredump_dir $work/squid
cache deny all
http_access allow localhost
http_access deny all
shutdown_lifetime 1 seconds
icap_enable on
icap_preview_enable on
icap_preview_size 1024
icap_service tessel_resp respmod_precache bypass=0 icap://127.0.0.1:$icap_port/tessel
adaptation_access tessel_resp allow all
CONF
squid -N -f "$work/squid/squid.conf" >squid/out 2>&1 &
squid=$!
pids+=("$squid")

fetch() {  # fetch NAME: the status and the body through Squid
  curl -s -m 10 -x "http://127.0.0.1:$squid_port" -o fetched -w '%{http_code}' "http://127.0.0.1:$http_port/$1"
  echo " $(head -1 fetched)"
}
for _ in $(seq 100); do
  [ "$(curl -s -m 2 -o /dev/null -w '%{http_code}' -x "http://127.0.0.1:$squid_port" \
       "http://127.0.0.1:$http_port/weekly_update.txt")" = 200 ] && break
  kill -0 "$squid" 2>/dev/null || fail "squid stopped: $(cat squid/out squid/cache.log)"
  sleep 0.1
done
expect "ordinary" "$(fetch weekly_update.txt)" "200 $(head -1 docs/weekly_update.txt)"
cmp -s fetched docs/weekly_update.txt || fail "the ordinary document changed on its way"
expect "protected" "$(fetch ru_leak.txt)" "403 Blocked: the document holds protected text."
kill -TERM "$squid"
wait_exit "$squid" 5
