#!/usr/bin/env bash
# Configures and builds the tree in build/ (or $MEVRA_BUILD_DIR) with Ninja. Extra arguments go to
# cmake, which then runs again so that they take effect in a folder configured before.
#
# The build uses Debian's hardening flags (dpkg-buildflags), as a distribution's build of the
# program would, so that what they warn about fails here first. MEVRA_DEB_FLAGS=0 leaves them out
# (the sanitizer build does: fortified string functions and -O2 get in the sanitizers' way).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${MEVRA_BUILD_DIR:-build}
if [ ! -f "$build_dir/build.ninja" ] || [ "$#" -gt 0 ]; then
  flags=()
  if [ "${MEVRA_DEB_FLAGS:-1}" != 0 ]; then
    flags=(
      "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
      "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
    )
  fi
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${MEVRA_BUILD_TYPE:-RelWithDebInfo} \
    -DMEVRA_WERROR=ON "${launcher[@]}" "${flags[@]}" "$@"
fi
cmake --build "$build_dir" --parallel "$(nproc)"
