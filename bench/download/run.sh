#!/bin/sh
# Builds the download benchmarks in Release and runs one of them offscreen.
#   bench/download/run.sh [--tls] [batch|rss] [build dir] [-- arguments of the benchmark]
# batch (the default): mevra_batch_bench against a local portal, with the portal's encoded files
# kept in the build dir so only the first run pays for encoding; rss: mevra_download_rss_bench.
# --tls runs the batch against the portal over HTTPS.
set -eu
tls=
if [ "${1:-}" = "--tls" ]; then
  tls=--tls
  shift
fi
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
which=batch
case "${1:-}" in batch|rss) which=$1; shift ;; esac
build=/tmp/build-bench-download
# A "--" right after the benchmark's name starts its arguments; it names no build dir.
if [ $# -gt 0 ] && [ "$1" != "--" ]; then
  build=$1
  shift
fi
[ "${1:-}" = "--" ] && shift

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMEVRA_BUILD_BENCH=ON \
  -DMEVRA_BUILD_TESTS=OFF >/dev/null
if [ "$which" = rss ]; then
  cmake --build "$build" --target mevra_download_rss_bench -j2
  exec "$build/bench/download/mevra_download_rss_bench" "$@"
fi
cmake --build "$build" --target mevra_batch_bench -j2

mkdir -p "$build/portal-data"
# The browser engine runs as root here, without a GPU and without calls home.
QT_QPA_PLATFORM=offscreen \
QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu --disable-background-networking --disable-component-update" \
  "$build/bench/download/mevra_batch_bench" --data-dir "$build/portal-data" $tls "$@"
