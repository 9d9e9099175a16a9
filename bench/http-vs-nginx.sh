#!/bin/sh
# Requests per second of the built-in HTTP server (`orvex serve`) against nginx serving the same
# folder on loopback, measured with wrk: 50 connections, a small file, a new connection for every
# request ("Connection: close").
#
#   bench/http-vs-nginx.sh [--orvex PATH] [--root DIR] [--file NAME] [--duration SECONDS] [--rounds N]
#                          [--nginx-workers N|auto]
#
# Defaults: build/bin/orvex, the repository's html folder, lanterna.html, 10 seconds, 3 rounds.
# The two servers are measured in turn, round after round, and the median of each is compared, so
# that a busy machine weighs on both alike. Build the orvex tool in Release for meaningful figures.
# Needs wrk and nginx (Debian: wrk, nginx-light). nginx runs "auto" worker processes (one per core)
# unless told otherwise; on a machine busy with other work, more workers win it a larger share of
# the processors, as the built-in server's many threads do.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
orvex="$here/build/bin/orvex"
root="$here/html"
file="lanterna.html"
duration=10
rounds=3
nginx_workers=auto
connections=50

while [ $# -gt 0 ]; do
    case "$1" in
        --orvex) orvex=$2; shift 2 ;;
        --root) root=$2; shift 2 ;;
        --file) file=$2; shift 2 ;;
        --duration) duration=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --nginx-workers) nginx_workers=$2; shift 2 ;;
        *) echo "usage: $0 [--orvex PATH] [--root DIR] [--file NAME] [--duration SECONDS] [--rounds N]" \
                "[--nginx-workers N|auto]" >&2; exit 2 ;;
    esac
done

root=$(cd "$root" && pwd)
[ -x "$orvex" ] || { echo "no orvex tool at $orvex (build it first)" >&2; exit 1; }
[ -f "$root/$file" ] || { echo "no file $root/$file" >&2; exit 1; }
command -v wrk >/dev/null || { echo "wrk is not installed" >&2; exit 1; }
nginx=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$nginx" ] || { echo "nginx is not installed" >&2; exit 1; }

work=$(mktemp -d /tmp/orvex-http-bench.XXXXXX)
orvex_pid=""
nginx_pid=""
cleanup() {
    [ -n "$orvex_pid" ] && kill "$orvex_pid" 2>/dev/null && wait "$orvex_pid" 2>/dev/null || true
    [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

measure() { # URL -> requests per second
    wrk -t2 -c"$connections" -d"${duration}s" -H "Connection: close" "$1" > "$work/wrk.out" 2>&1
    cat "$work/wrk.out" >&2
    if grep -q "Non-2xx" "$work/wrk.out"; then
        echo "non-2xx answers from $1" >&2
        exit 1
    fi
    awk '/^Requests\/sec:/ { print $2 }' "$work/wrk.out"
}

# The built-in server.
"$orvex" serve --root "$root" --port 0 > "$work/orvex.out" 2>&1 &
orvex_pid=$!
for _ in 1 2 3 4 5 6 7 8 9 10; do grep -q "on port" "$work/orvex.out" && break; sleep 0.2; done
orvex_port=$(sed -n 's/.* on port \([0-9]*\).*/\1/p' "$work/orvex.out")
[ -n "$orvex_port" ] || { cat "$work/orvex.out" >&2; exit 1; }

# nginx with a throw-away configuration, not detached, so that this script stops and reaps it.
nginx_port=$(free_port)
mkdir -p "$work/logs"
cat > "$work/nginx.conf" <<EOF
worker_processes $nginx_workers;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 1024; }
http {
    access_log off;
    sendfile on;
    default_type text/html;
    client_body_temp_path $work/body;
    proxy_temp_path $work/proxy;
    fastcgi_temp_path $work/fastcgi;
    uwsgi_temp_path $work/uwsgi;
    scgi_temp_path $work/scgi;
    server {
        listen 127.0.0.1:$nginx_port;
        root $root;
    }
}
EOF
if [ "$(id -u)" = 0 ]; then
    sed -i '1i user root;' "$work/nginx.conf"
fi
"$nginx" -p "$work" -c "$work/nginx.conf" -e "$work/logs/error.log" -g 'daemon off;' &
nginx_pid=$!
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -f "$work/nginx.pid" ] && break; sleep 0.2; done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: > "$work/orvex.rps"
: > "$work/nginx.rps"
round=1
while [ "$round" -le "$rounds" ]; do
    echo "== round $round: built-in server, port $orvex_port ==" >&2
    a=$(measure "http://127.0.0.1:$orvex_port/$file")
    echo "== round $round: nginx, port $nginx_port ==" >&2
    b=$(measure "http://127.0.0.1:$nginx_port/$file")
    echo "$a" >> "$work/orvex.rps"
    echo "$b" >> "$work/nginx.rps"
    echo "round $round: built-in $a, nginx $b requests/s"
    round=$((round + 1))
done
orvex_rps=$(median < "$work/orvex.rps")
nginx_rps=$(median < "$work/nginx.rps")

echo "file: $file ($(wc -c < "$root/$file") bytes), $connections connections, ${duration}s x $rounds rounds, Connection: close"
echo "built-in server: $orvex_rps requests/s (median)"
echo "nginx:           $nginx_rps requests/s (median, $nginx_workers worker processes)"
awk -v a="$orvex_rps" -v b="$nginx_rps" 'BEGIN { printf "ratio:           %.2f (goal 0.80)\n", a / b }'
