#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds, starts the bundled demo portal on its default loopback
# ports and runs the program against it (under Xvfb when there is no display). The portal stops
# when the program exits.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh

portal_pid=""
if [ -x build/portal/mevra-portal ]; then
  build/portal/mevra-portal --data-dir "${XDG_CACHE_HOME:-$HOME/.cache}/mevra-portal" &
  portal_pid=$!
  trap 'kill "$portal_pid" 2>/dev/null; wait "$portal_pid" 2>/dev/null || true' EXIT
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
