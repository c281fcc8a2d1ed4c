#!/bin/sh
# Builds mevra_batch_bench in Release and runs it offscreen against a local portal.
#   bench/download/run.sh [build dir] [-- arguments of mevra_batch_bench]
# The portal's encoded files are kept in the build dir, so only the first run pays for encoding.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-/tmp/build-bench-download}
[ $# -gt 0 ] && shift
[ "${1:-}" = "--" ] && shift

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMEVRA_BUILD_BENCH=ON \
  -DMEVRA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target mevra_batch_bench -j2

mkdir -p "$build/portal-data"
# The browser engine runs as root here, without a GPU and without calls home.
QT_QPA_PLATFORM=offscreen \
QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu --disable-background-networking --disable-component-update" \
  "$build/bench/download/mevra_batch_bench" --data-dir "$build/portal-data" "$@"
