#!/usr/bin/env bash
# Downloads the same generated file from the same local server with mevra-fetch and with curl,
# both writing to /dev/null, and reports the times, their ratio and the peak memory of each.
#   bench/http/fetch_vs_curl.sh [BUILD_DIR] [SIZE_MIB] [RUNS]   (defaults: build 256 3)
set -euo pipefail
build="${1:-build}"
size_mib="${2:-256}"
runs="${3:-3}"
fetch="$build/tools/mevra-fetch"
[ -x "$fetch" ] || { echo "no $fetch; build the mevra-fetch target first" >&2; exit 1; }

dir="$(mktemp -d)"
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT

head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$dir/file.bin"
port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$dir" >/dev/null 2>&1 &
server=$!
url="http://127.0.0.1:$port/file.bin"
for _ in $(seq 50); do
  curl -s -o /dev/null -r 0-0 "$url" && break
  sleep 0.1
done

# One line per run: elapsed seconds and peak resident set size in KiB.
measure() { /usr/bin/time -f "%e %M" "$@" 2>&1 >/dev/null | tail -1; }

fetch_times=()
curl_times=()
fetch_rss=0
curl_rss=0
for _ in $(seq "$runs"); do
  read -r t m < <(measure "$fetch" -o /dev/null "$url")
  fetch_times+=("$t")
  [ "$m" -gt "$fetch_rss" ] && fetch_rss=$m
  read -r t m < <(measure curl -s -o /dev/null "$url")
  curl_times+=("$t")
  [ "$m" -gt "$curl_rss" ] && curl_rss=$m
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
fm="$(median "${fetch_times[@]}")"
cm="$(median "${curl_times[@]}")"
echo "file: $size_mib MiB, $runs runs each, median wall time"
echo "mevra-fetch: ${fm} s (runs: ${fetch_times[*]}), peak RSS ${fetch_rss} KiB"
echo "curl:        ${cm} s (runs: ${curl_times[*]}), peak RSS ${curl_rss} KiB"
awk -v f="$fm" -v c="$cm" 'BEGIN { if (c > 0) printf "ratio mevra-fetch / curl: %.2f\n", f / c }'
