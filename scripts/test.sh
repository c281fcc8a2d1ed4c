#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything and runs every test; then runs the transport
# and HTTP tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh
(cd build && ctest --output-on-failure --timeout 600 -j 2)

MEVRA_BUILD_DIR=build-asan MEVRA_BUILD_TYPE=Debug scripts/build.sh \
  -DMEVRA_SANITIZE=ON -DMEVRA_BUILD_QT=OFF -DMEVRA_BUILD_PORTAL=OFF
(cd build-asan && ctest --output-on-failure --timeout 600 -j 2)
