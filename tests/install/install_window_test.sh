#!/usr/bin/env bash
# Runs the installed program as the desktop entry does on a fresh machine: nothing answers at the
# demo portal's address, so the program starts the mevra-portal installed beside it, with its
# data in the XDG cache, and the window loads the portal's home page. A closed program writes its
# settings to the XDG config folder, nothing beside itself, and its portal ends with it; so does
# the portal of a killed program.
#   install_window_test.sh BUILD_DIR SCRATCH_DIR
# Exits 77 (skipped) when something else holds the demo's ports.
set -euo pipefail
build=$1 root=$2
bin=$root/usr/bin
fail() {
  echo "FAILED: $*" >&2
  for log in "$root"/run*.log; do [ -f "$log" ] && { echo "--- $log" >&2; tail -n 30 "$log" >&2; }; done
  exit 1
}
answers() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
exited() { [ ! -e "/proc/$1" ] || grep -q '^[0-9]* ([^)]*) Z' "/proc/$1/stat" 2>/dev/null; }
wait_for() {  # seconds, what, command...
  local deadline=$((SECONDS + $1)) what=$2
  shift 2
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "no $what within the time allowed"
    sleep 0.2
  done
}
child_named() {  # parent pid, name: prints the pid of that child
  local stat pid comm state ppid rest
  for stat in /proc/[0-9]*/stat; do
    read -r pid comm state ppid rest <"$stat" 2>/dev/null || continue
    [ "$ppid" = "$1" ] && [ "$comm" = "($2)" ] && { echo "$pid"; return 0; }
  done
  return 1
}

for port in 18080 18081 18082 18083; do
  if answers "$port"; then
    echo "port $port is in use here; skipped"
    exit 77
  fi
done

rm -rf "$root"
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
export HOME=$root/home
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
mkdir -p "$HOME"
installed=$(ls -A "$bin")

program="" portal=""
# Whatever happens, nothing of this test outlives it.
cleanup() {
  if [ -n "$program" ]; then
    [ -n "$portal" ] || portal=$(child_named "$program" mevra-portal) || true
    kill -KILL "$program" 2>/dev/null || true
  fi
  if [ -n "$portal" ]; then kill -KILL "$portal" 2>/dev/null || true; fi
}
trap cleanup EXIT

# Starts the program, waits until the window has asked the portal for its home page and sets
# $program and $portal.
start() {
  local log=$1
  "$bin/MevraMP3Manager" >"$log" 2>&1 &
  program=$!
  wait_for 240 "request for the portal's home page" grep -q '^home .*"GET /"' "$log"
  portal=$(child_named "$program" mevra-portal) || fail "the portal is not the program's child"
  tr '\0' '\n' <"/proc/$portal/cmdline" | grep -qx "$XDG_CACHE_HOME/mevra-portal" ||
    fail "the portal does not keep its data in the XDG cache"
}

start "$root/run1.log"
kill -TERM "$program"
wait_for 120 "end of the program after SIGTERM" exited "$program"
status=0
wait "$program" || status=$?
[ "$status" = 0 ] || fail "the program exited with status $status"
wait_for 30 "end of the portal with the program" exited "$portal"
! answers 18080 || fail "the demo's home port still answers"
grep -q '^SavePath=' "$XDG_CONFIG_HOME/MevraMP3Manager/config.ini" ||
  fail "no settings in the XDG config folder"
[ "$(ls -A "$bin")" = "$installed" ] || fail "the program wrote beside itself: $(ls -A "$bin")"

start "$root/run2.log"
kill -KILL "$program"
wait "$program" 2>/dev/null || true
wait_for 30 "end of the portal after its program was killed" exited "$portal"
! answers 18080 || fail "the demo's home port still answers"
program="" portal=""

echo "install_window: the installed program ran twice with its own portal"
