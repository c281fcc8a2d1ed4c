#!/usr/bin/env bash
# Downloads the same generated file from the same local server with mevra-fetch and with curl,
# both writing to /dev/null, and reports the median times, how fast mevra-fetch is next to curl,
# the CPU time each client spent (which tells the clients apart when the server sets the pace)
# and the peak memory of each.
#   bench/http/fetch_vs_curl.sh [--tls] [--proxy] [--recv-buffer N] [BUILD_DIR] [SIZE_MIB] [RUNS]
#   (defaults: build 256 7)
# --tls serves the file over HTTPS (TLS 1.3) with a certificate made for the run; both clients
# verify it against that run's CA file. --recv-buffer N is passed on to mevra-fetch, so a run
# can compare receive blocks of curl's size. --proxy starts tinyproxy on loopback and sends both
# clients through it (a CONNECT tunnel with --tls). With hyperfine installed the times are hyperfine's
# (-N, one warm-up run); without it each client runs RUNS times in turn.
set -euo pipefail
tls=0
proxy=0
recv_options=()
while [ "$#" -gt 0 ]; do
  case "$1" in
    --tls) tls=1 ;;
    --proxy) proxy=1 ;;
    --recv-buffer)
      recv_options=(--recv-buffer "$2")
      shift
      ;;
    *) break ;;
  esac
  shift
done
build="${1:-build}"
size_mib="${2:-256}"
runs="${3:-7}"
fetch="$build/tools/mevra-fetch"
[ -x "$fetch" ] || { echo "no $fetch; build the mevra-fetch target first" >&2; exit 1; }

dir="$(mktemp -d)"
server=""
proxy_pid=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  [ -n "$proxy_pid" ] && kill "$proxy_pid" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT

mkdir "$dir/www"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$dir/www/file.bin"
port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
scheme=http
tls_options=()
if [ "$tls" = 1 ]; then
  scheme=https
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 \
    -keyout "$dir/key.pem" -out "$dir/cert.pem" -subj /CN=127.0.0.1 \
    -addext subjectAltName=IP:127.0.0.1 2>/dev/null
  tls_options=(--cacert "$dir/cert.pem")
fi
# A threading server from Python's standard library; with --tls its socket is wrapped in TLS.
# Plain bodies go out with sendfile, TLS ones in pieces of 1 MiB, so that the server's own work
# per byte stays small and the clients' costs show.
python3 - "$port" "$dir/www" "$tls" "$dir/cert.pem" "$dir/key.pem" >/dev/null 2>&1 <<'PY' &
import functools, http.server, shutil, ssl, sys
port, root, tls, cert, key = int(sys.argv[1]), sys.argv[2], sys.argv[3] == "1", sys.argv[4], sys.argv[5]
class Handler(http.server.SimpleHTTPRequestHandler):
    def copyfile(self, source, outputfile):
        if isinstance(self.connection, ssl.SSLSocket):
            shutil.copyfileobj(source, outputfile, 1 << 20)
        else:
            self.connection.sendfile(source)
handler = functools.partial(Handler, directory=root)
httpd = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
if tls:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    httpd.socket = context.wrap_socket(httpd.socket, server_side=True)
httpd.serve_forever()
PY
server=$!
url="$scheme://127.0.0.1:$port/file.bin"
for _ in $(seq 50); do
  curl -s "${tls_options[@]}" -o /dev/null -r 0-0 "$url" && break
  sleep 0.1
done

proxy_options=()
if [ "$proxy" = 1 ]; then
  command -v tinyproxy >/dev/null || {
    echo "no tinyproxy; scripts/setup-debian.sh installs it" >&2
    exit 1
  }
  proxy_port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
  printf 'Port %s\nListen 127.0.0.1\nTimeout 60\nLogLevel Warning\nMaxClients 8\nAllow 127.0.0.1\n' \
    "$proxy_port" >"$dir/tinyproxy.conf"
  tinyproxy -d -c "$dir/tinyproxy.conf" >/dev/null 2>&1 &
  proxy_pid=$!
  proxy_options=(--proxy "http://127.0.0.1:$proxy_port")
  for _ in $(seq 50); do
    curl -s "${tls_options[@]}" "${proxy_options[@]}" -o /dev/null -r 0-0 "$url" && break
    sleep 0.1
  done
fi

fetch_command=("$fetch" "${tls_options[@]}" "${proxy_options[@]}" "${recv_options[@]}" -o /dev/null "$url")
curl_command=(curl -s "${tls_options[@]}" "${proxy_options[@]}" -o /dev/null "$url")

# One line per run: elapsed seconds, CPU seconds (user + system) and peak resident set size in
# KiB.
measure() {
  /usr/bin/time -f "%e %U %S %M" "$@" 2>&1 >/dev/null | tail -1 |
    awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }'
}
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

fetch_times=()
curl_times=()
fetch_cpu=()
curl_cpu=()
fetch_rss=0
curl_rss=0
if command -v hyperfine >/dev/null; then
  quote() { printf '%q ' "$@"; }
  hyperfine -N --style none --warmup 1 --runs "$runs" --export-json "$dir/times.json" \
    "$(quote "${fetch_command[@]}")" "$(quote "${curl_command[@]}")" >/dev/null
  # Per client: its run times, then its mean CPU time (user + system); mevra-fetch comes first.
  {
    read -r -a fetch_times
    read -r -a fetch_cpu
    read -r -a curl_times
    read -r -a curl_cpu
  } < <(python3 -c 'import json, sys
for r in json.load(open(sys.argv[1]))["results"]:
    print(" ".join("%.3f" % t for t in r["times"]))
    print("%.3f" % (r["user"] + r["system"]))' "$dir/times.json")
  # hyperfine does not see memory: three more runs each for the peak.
  for _ in 1 2 3; do
    read -r _ _ m < <(measure "${fetch_command[@]}")
    [ "$m" -gt "$fetch_rss" ] && fetch_rss=$m
    read -r _ _ m < <(measure "${curl_command[@]}")
    [ "$m" -gt "$curl_rss" ] && curl_rss=$m
  done
  cpu_label="CPU (mean)"
else
  for _ in $(seq "$runs"); do
    read -r t c m < <(measure "${fetch_command[@]}")
    fetch_times+=("$t")
    fetch_cpu+=("$c")
    [ "$m" -gt "$fetch_rss" ] && fetch_rss=$m
    read -r t c m < <(measure "${curl_command[@]}")
    curl_times+=("$t")
    curl_cpu+=("$c")
    [ "$m" -gt "$curl_rss" ] && curl_rss=$m
  done
  cpu_label="CPU (median)"
fi

fm="$(median "${fetch_times[@]}")"
cm="$(median "${curl_times[@]}")"
echo "file: $size_mib MiB over $scheme, $runs runs each, medians${recv_options:+, mevra-fetch ${recv_options[*]}}"
echo "mevra-fetch: ${fm} s (runs: ${fetch_times[*]}), $cpu_label $(median "${fetch_cpu[@]}") s," \
  "peak RSS ${fetch_rss} KiB"
echo "curl:        ${cm} s (runs: ${curl_times[*]}), $cpu_label $(median "${curl_cpu[@]}") s," \
  "peak RSS ${curl_rss} KiB"
awk -v f="$fm" -v c="$cm" 'BEGIN { if (f > 0) printf "mevra-fetch speed / curl speed: %.2fx\n", c / f }'
