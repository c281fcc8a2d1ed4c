#!/usr/bin/env bash
# Configures (once) and builds the tree in build/ with Ninja. Extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${MEVRA_BUILD_DIR:-build}
if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${MEVRA_BUILD_TYPE:-RelWithDebInfo} "$@"
fi
cmake --build "$build_dir" --parallel "$(nproc)"
