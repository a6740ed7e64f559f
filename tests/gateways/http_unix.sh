# tessel-serve on a Unix socket: made with the configured permissions, a
# socket left by a server that is gone replaced, anything else at the path
# (a live server's socket, a file, a symbolic link) refused and left alone;
# the socket is removed when the server stops.
source "$(dirname "$0")/lib.sh"
train model
sock=$work/http.sock
config unix.conf "listen = unix:$sock" "request_log = $work/requests.log"
over_socket() { curl -s -m 10 --unix-socket "$sock" "$@"; }
ready="over_socket -o /dev/null http://x/healthz"  # for start_serve: the socket answers

# A socket file no server holds, as a killed server leaves it.
python3 -c 'import socket, sys; s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1])' "$sock"
start_serve unix.conf
expect "mode" "$(stat -c %a "$sock")" 660
expect "judged" "$(over_socket --data-binary @docs/ru_leak.txt http://x/v1/judge)" '*"verdict":true*'
expect "a live server's socket" "$(refused unix.conf)" "1 tessel-serve: cannot listen on unix:$sock: $sock: another server listens there"
stop_serve
[ ! -e "$sock" ] || fail "the socket is left behind"

echo "socket_mode = 0600" >>unix.conf
start_serve unix.conf
expect "configured mode" "$(stat -c %a "$sock")" 600
stop_serve

echo keep >target
ln -s "$work/target" "$sock"
expect "a symbolic link" "$(refused unix.conf)" "1 tessel-serve: cannot listen on unix:$sock: $sock: exists and is not a socket"
[ -L "$sock" ] && [ "$(cat target)" = keep ] || fail "the link or its target was touched"
rm "$sock"
echo data >"$sock"
expect "a file" "$(refused unix.conf)" "1 tessel-serve: cannot listen on unix:$sock: $sock: exists and is not a socket"
expect "the file is kept" "$(cat "$sock")" data
echo "socket_mode = 999" >>unix.conf
expect "a refused mode" "$(refused unix.conf)" "2 tessel-serve: unix.conf: line 6: refused value \"999\" for socket_mode"
