#!/usr/bin/env bash
# Installs the build into a scratch root as a packager does (DESTDIR, prefix /usr) and checks
# what lands there: the three programs, the desktop entry, the icon, the metainfo and the manual
# pages, each valid by the desktop's own checkers; each program answers --version and --help
# from the tree without a display and refuses an argument it does not know.
#   install_tree_test.sh BUILD_DIR SCRATCH_DIR VERSION APP_ID
set -euo pipefail
build=$1 root=$2 version=$3 id=$4
usr=$root/usr
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
silent() { [ -z "$("$@" 2>&1)" ]; }
man_clean() { [ -z "$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$1" 2>&1 >/dev/null)" ]; }
says() {  # expected output, command...
  local expected=$1
  shift
  local output
  output=$("$@" 2>&1) && [ "$output" = "$expected" ] || { echo "  got: $output" >&2; return 1; }
}
exits_with() {  # status, command...
  local expected=$1 status=0
  shift
  "$@" >/dev/null 2>&1 || status=$?
  [ "$status" = "$expected" ] || { echo "  exit status $status" >&2; return 1; }
}

rm -rf "$root"
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

programs=(MevraMP3Manager mevra-portal mevra-fetch)
for program in "${programs[@]}"; do
  check "$program installed" test -x "$usr/bin/$program"
  check "$program --version" says "$program $version" env -u DISPLAY -u WAYLAND_DISPLAY \
    "$usr/bin/$program" --version
  check "$program --help" exits_with 0 env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/$program" --help
  check "$program refuses an unknown option" exits_with 2 "$usr/bin/$program" --no-such-option
  page=$usr/share/man/man1/$program.1.gz
  check "$program manual page" test -f "$page"
  check "$program manual page formats without warnings" man_clean "$page"
done
check "MevraMP3Manager takes no option beside --lang, --help and --version" \
  exits_with 2 "$usr/bin/MevraMP3Manager" --help --platform
check "MevraMP3Manager refuses a language it has no texts in" \
  exits_with 2 "$usr/bin/MevraMP3Manager" --lang fr --help
check "MevraMP3Manager answers --help after a known language" \
  exits_with 0 env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/MevraMP3Manager" --lang=en --help

entry=$usr/share/applications/$id.desktop
check "desktop entry valid" silent desktop-file-validate "$entry"
check "desktop entry starts the installed program" \
  test -x "$usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")"
check "desktop entry names the installed icon" grep -qx "Icon=$id" "$entry"

metainfo=$usr/share/metainfo/$id.metainfo.xml
check "metainfo valid" appstreamcli validate --no-net "$metainfo"
check "metainfo launches the desktop entry" \
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo"
check "metainfo release is the project's version" grep -q "<release version=\"$version\"" "$metainfo"

icons=$usr/share/icons/hicolor
check "scalable icon" grep -q "<svg" "$icons/scalable/apps/$id.svg"
for size in 16 22 24 32 48 64 128 256 512; do
  check "${size}px icon" grep -q "PNG image data, $size x $size" \
    <(file "$icons/${size}x${size}/apps/$id.png")
done

echo "install_tree: $((checks - failures)) passed, $failures failed"
[ "$failures" = 0 ]
