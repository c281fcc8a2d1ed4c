#!/usr/bin/env bash
# Reads a 256 MiB counted body with ReadToStream over loopback, without and with an anti-freeze
# in force (pumping at every wait point), and fetches the same bytes with curl from the same
# server in the same run; prints each throughput and its ratio to curl's. Our figures time the
# body read alone; curl's include its connect and process start, a few milliseconds of ~0.3 s.
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${MEVRA_BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMEVRA_BUILD_BENCH=ON \
  -DMEVRA_BUILD_TESTS=OFF -DMEVRA_BUILD_QT=OFF -DMEVRA_BUILD_PORTAL=OFF >/dev/null
cmake --build "$build_dir" --target mevra_net_bench -j2 >/dev/null
json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$build_dir/bench/net/mevra_net_bench" --benchmark_out="$json" --benchmark_out_format=json "$@"
python3 - "$json" <<'PY'
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
def rate(prefix):
    for name, b in runs.items():
        if name.startswith(prefix):
            return b["bytes_per_second"] / 2**20
    raise SystemExit("missing " + prefix)
curl = rate("BM_Curl")
for label, prefix in (("no anti-freeze", "BM_ReadToStream/anti_freeze:0"),
                      ("anti-freeze in force", "BM_ReadToStream/anti_freeze:1")):
    mine = rate(prefix)
    print(f"ReadToStream, {label}: {mine:.0f} MiB/s, ratio to curl {mine / curl:.2f}")
print(f"curl -o /dev/null: {curl:.0f} MiB/s")
PY
