#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one for a bounded time.
#   fuzz/run.sh [SECONDS_PER_TARGET] [TARGET ...]   (default 60 s; all targets)
#   MEVRA_FUZZ_RUNS=N fuzz/run.sh ...               (stop each target after N executions)
# Targets: uri header cookie response (the client's whole response path, in memory),
# response_socket (the same through real loopback connections, far slower) and tls_handshake
# (a server's answer to the TLS hello, through loopback connections). Prints executions
# and crashes per target; crash inputs land in the build's fuzz/artifacts/. Keep a crash input
# under fuzz/seeds/<folder>/ and the normal build's tests replay it.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(uri header cookie response response_socket tls_handshake)
build="${MEVRA_FUZZ_BUILD_DIR:-build-fuzz}"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer"
runs=()
[ -n "${MEVRA_FUZZ_RUNS:-}" ] && runs=(-runs="$MEVRA_FUZZ_RUNS")

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$flags" \
  -DMEVRA_BUILD_FUZZ=ON -DMEVRA_BUILD_QT=OFF -DMEVRA_BUILD_PORTAL=OFF -DMEVRA_BUILD_TESTS=OFF \
  >/dev/null || exit 1
cmake --build "$build" -j2 --target "${targets[@]/#/mevra_fuzz_}" || exit 1

status=0
for name in "${targets[@]}"; do
  seeds="fuzz/seeds/$name"
  [ "$name" = response_socket ] && seeds="fuzz/seeds/response"
  corpus="$build/fuzz/corpus/$name"
  artifacts="$build/fuzz/artifacts/$name/"
  mkdir -p "$corpus" "$artifacts"
  log="$build/fuzz/$name.log"
  # The loopback targets' server threads may still hold a run's memory when the next run starts,
  # which the per-run leak check takes for a leak; only the in-memory targets check for leaks.
  leaks=()
  case "$name" in response_socket | tls_handshake) leaks=(-detect_leaks=0) ;; esac
  "$build/fuzz/mevra_fuzz_$name" "$corpus" "$seeds" -max_total_time="$seconds" "${runs[@]}" \
    "${leaks[@]}" -artifact_prefix="$artifacts" -max_len=4096 -rss_limit_mb=2048 >"$log" 2>&1
  rc=$?
  done_runs=$(grep -o 'Done [0-9]* runs' "$log" | grep -o '[0-9]*' || true)
  elapsed=$(grep -o 'in [0-9]* second' "$log" | tail -1 | grep -o '[0-9]*' || true)
  crashes=$(find "$artifacts" -type f | wc -l)
  echo "$name: ${done_runs:-?} executions in ${elapsed:-?} s, $crashes crashes (exit $rc)"
  [ "$rc" -eq 0 ] && [ "$crashes" -eq 0 ] || status=1
done
exit $status
