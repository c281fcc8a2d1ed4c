#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds, starts the bundled demo portal on its default loopback
# ports and runs the program against it (under Xvfb when there is no display). The portal stops
# when the program exits.
#
#   scripts/run.sh [--tls] [PROGRAM ARGUMENTS]
#
# --tls runs the demo over HTTPS: the portal serves its hosts with its own CA, and the script
# writes the https endpoints and that CA (key CaFile) into the "Endpoints" section of the
# config.ini the program uses (build/app/config.ini), marked as its own. A plain run takes such a
# marked section out again; an "Endpoints" section of your own is left alone by a plain run and
# replaced by a --tls run. The "Config" section (your choices) is never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
tls=0
if [ "${1:-}" = "--tls" ]; then
  tls=1
  shift
fi
scripts/setup-debian.sh
scripts/build.sh

config=build/app/config.ini
marker="; Written by scripts/run.sh --tls; a plain run takes it out again."
# Prints config.ini without its "Endpoints" section; with "marked", only when the section
# carries the script's marker.
without_endpoints() {
  local only_marked=$1
  [ -f "$config" ] || return 0
  awk -v only_marked="$only_marked" -v marker="$marker" '
    function flush() { if (held != "" && !(only_marked && !marked)) held = ""; printf "%s", held; held = "" }
    /^[ \t]*\[/ {
      if (in_section) flush()
      in_section = tolower($0) ~ /^[ \t]*\[endpoints\][ \t\r]*$/
      marked = 0
    }
    in_section { held = held $0 "\n"; if (index($0, marker) == 1) marked = 1; next }
    { print }
    END { if (in_section) flush() }
  ' "$config"
}

portal_pid=""
portal_out="$(mktemp)"
stop_portal() {
  [ -n "$portal_pid" ] && { kill "$portal_pid" 2>/dev/null; wait "$portal_pid" 2>/dev/null || true; }
  rm -f "$portal_out"
}
trap stop_portal EXIT
if [ -x build/portal/mevra-portal ]; then
  portal_args=(--data-dir "${XDG_CACHE_HOME:-$HOME/.cache}/mevra-portal")
  [ "$tls" = 1 ] && portal_args+=(--tls)
  build/portal/mevra-portal "${portal_args[@]}" >"$portal_out" &
  portal_pid=$!
  for _ in $(seq 200); do
    grep -q '^ports ' "$portal_out" && break
    kill -0 "$portal_pid" 2>/dev/null || { echo "the demo portal did not start" >&2; exit 1; }
    sleep 0.1
  done
fi

if [ "$tls" = 1 ]; then
  ca_file="$(sed -n 's/^ca-file //p' "$portal_out")"
  [ -n "$ca_file" ] || { echo "the demo portal named no CA file" >&2; exit 1; }
  mkdir -p "$(dirname "$config")"
  {
    without_endpoints 0
    echo "[Endpoints]"
    echo "$marker"
    echo "PortalHomeUrl=https://127.0.0.1:18080/"
    echo "PortalHost=127.0.0.1:18080"
    echo "LoginHost=127.0.0.1:18081"
    echo "LoginBaseUrl=https://127.0.0.1:18081"
    echo "MusicBaseUrl=https://127.0.0.1:18082"
    echo "UpdateStampUrl=https://127.0.0.1:18083/mevramp3.txt"
    echo "ReleasePageUrl=https://127.0.0.1:18083/archives/41672/"
    echo "AuthorSiteUrl=https://127.0.0.1:18083/"
    echo "MicroblogUrl=https://127.0.0.1:18083/weibo/pelko"
    echo "CaFile=$ca_file"
  } >"$config.new"
  mv "$config.new" "$config"
elif [ -f "$config" ]; then
  without_endpoints 1 >"$config.new"
  mv "$config.new" "$config"
fi

if [ "$(id -u)" -eq 0 ]; then
  # The browser engine refuses its sandbox as root.
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox}"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1280x900x24" build/app/MevraMP3Manager "$@"
else
  build/app/MevraMP3Manager "$@"
fi
