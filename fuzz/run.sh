#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one for a bounded time.
#   fuzz/run.sh [SECONDS_PER_TARGET]   (default 60)
# Prints executions and crashes per target; crash inputs land in the build's fuzz/artifacts/.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build="${MEVRA_FUZZ_BUILD_DIR:-build-fuzz}"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$flags" \
  -DMEVRA_BUILD_FUZZ=ON -DMEVRA_BUILD_QT=OFF -DMEVRA_BUILD_PORTAL=OFF -DMEVRA_BUILD_TESTS=OFF \
  >/dev/null || exit 1
cmake --build "$build" -j2 --target mevra_fuzz_uri mevra_fuzz_header mevra_fuzz_cookie \
  mevra_fuzz_response || exit 1

status=0
for name in uri header cookie response; do
  corpus="$build/fuzz/corpus/$name"
  artifacts="$build/fuzz/artifacts/$name/"
  mkdir -p "$corpus" "$artifacts"
  log="$build/fuzz/$name.log"
  "$build/fuzz/mevra_fuzz_$name" "$corpus" "fuzz/seeds/$name" -max_total_time="$seconds" \
    -artifact_prefix="$artifacts" -max_len=4096 -rss_limit_mb=2048 >"$log" 2>&1
  rc=$?
  runs=$(grep -o 'Done [0-9]* runs' "$log" | grep -o '[0-9]*' || true)
  crashes=$(find "$artifacts" -type f | wc -l)
  echo "$name: ${runs:-?} executions, $crashes crashes (exit $rc)"
  [ "$rc" -eq 0 ] && [ "$crashes" -eq 0 ] || status=1
done
exit $status
