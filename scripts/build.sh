#!/usr/bin/env bash
# Configures and builds the tree in build/ (or $MEVRA_BUILD_DIR) with Ninja. Extra arguments go to
# cmake, which then runs again so that they take effect in a folder configured before.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${MEVRA_BUILD_DIR:-build}
if [ ! -f "$build_dir/build.ninja" ] || [ "$#" -gt 0 ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${MEVRA_BUILD_TYPE:-RelWithDebInfo} \
    -DMEVRA_WERROR=ON "$@"
fi
cmake --build "$build_dir" --parallel "$(nproc)"
