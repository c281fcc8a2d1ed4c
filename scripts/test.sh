#!/usr/bin/env bash
# Sets up a fresh Debian machine, checks that every C++ file is formatted as .clang-format says,
# builds everything with Debian's hardening flags and runs every test (the install and package
# tests included); then runs the transport, HTTP and download-engine tests once more under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
scripts/build.sh
(cd build && ctest --output-on-failure --timeout 600 -j 2)

# Fortified string functions get in the sanitizers' way, so this build goes without the flags.
MEVRA_DEB_FLAGS=0 MEVRA_BUILD_DIR=build-asan MEVRA_BUILD_TYPE=Debug scripts/build.sh \
  -DMEVRA_SANITIZE=ON -DMEVRA_BUILD_QT=OFF -DMEVRA_BUILD_DOWNLOAD=ON -DMEVRA_BUILD_PORTAL=OFF
(cd build-asan && ctest --output-on-failure --timeout 600 -j 2)
