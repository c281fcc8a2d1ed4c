#!/usr/bin/env bash
# Builds the programs in Release with Debian's hardening flags (in build-package/, or
# $MEVRA_BUILD_DIR) and makes their Debian package in dist/. Its dependencies come from
# dpkg-shlibdeps; `dpkg-deb -I dist/*.deb` shows them, `apt install ./dist/<package>.deb`
# installs it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
build_dir=${MEVRA_BUILD_DIR:-build-package}
MEVRA_BUILD_DIR=$build_dir MEVRA_BUILD_TYPE=Release scripts/build.sh -DMEVRA_BUILD_TESTS=OFF
mkdir -p dist
cpack --config "$PWD/$build_dir/CPackConfig.cmake" -B "$PWD/dist"
rm -rf dist/_CPack_Packages
