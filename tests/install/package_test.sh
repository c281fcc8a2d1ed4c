#!/usr/bin/env bash
# Builds the Debian package from the build folder, unpacks it into a scratch root and runs each
# program's --version from there; the package's dependencies come from dpkg-shlibdeps (the
# libraries the programs link) plus what they load at run time.
#   package_test.sh BUILD_DIR SCRATCH_DIR VERSION APP_ID
set -euo pipefail
build=$1 scratch=$2 version=$3 id=$4
failures=0 checks=0
check() {  # description, command...
  local what=$1
  shift
  checks=$((checks + 1))
  if ! "$@"; then
    echo "FAILED: $what" >&2
    failures=$((failures + 1))
  fi
}

rm -rf "$scratch"
mkdir -p "$scratch"
cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; exit 1; }
debs=("$scratch"/*.deb)
[ "${#debs[@]}" = 1 ] && [ -f "${debs[0]}" ] || { echo "FAILED: no single package" >&2; exit 1; }
deb=${debs[0]}
info=$(dpkg-deb -I "$deb")
echo "$info"
depends=$(sed -n 's/^ Depends: //p' <<<"$info")

check "package version" grep -qx " Version: $version" <<<"$info"
# From the shared libraries: the window's browser, the portal's encoder, the C library.
for library in libqt6webenginecore6 libqt6multimedia6 libmp3lame0 libc6; do
  check "depends on $library" grep -q "\b$library\b" <<<"$depends"
done
for runtime in gstreamer1.0-plugins-good "fonts-noto-cjk | fonts-wqy-microhei" libqt6sql6-sqlite; do
  check "depends on $runtime" grep -qF "$runtime" <<<"$depends"
done

dpkg-deb -x "$deb" "$scratch/root"
for program in MevraMP3Manager mevra-portal mevra-fetch; do
  binary=$scratch/root/usr/bin/$program
  check "$program --version from the unpacked package" \
    test "$(env -u DISPLAY -u WAYLAND_DISPLAY "$binary" --version)" = "$program $version"
  check "$program is stripped" grep -q ", stripped" <(file "$binary")
  check "$program manual page" test -f "$scratch/root/usr/share/man/man1/$program.1.gz"
done
check "desktop entry" test -f "$scratch/root/usr/share/applications/$id.desktop"

echo "package: $((checks - failures)) passed, $failures failed"
[ "$failures" = 0 ]
