#!/bin/sh
# Builds the song-list benchmark in Release and runs it offscreen.
#   bench/app/run.sh [build dir] [-- arguments of the benchmark]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-/tmp/build-bench-app}
[ $# -gt 0 ] && shift
[ "${1:-}" = "--" ] && shift

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMEVRA_BUILD_BENCH=ON \
  -DMEVRA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target mevra_list_bench -j2
# The browser engine runs as root here, without a GPU and without calls home.
QT_QPA_PLATFORM=offscreen \
QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu --disable-background-networking --disable-component-update" \
  "$build/bench/app/mevra_list_bench" "$@"
