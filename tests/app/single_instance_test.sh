#!/usr/bin/env bash
# One window per configuration, with real processes: a second start raises the running copy and
# exits 0, a copy killed without a chance to clean up does not keep the next start out, and a
# copy that holds the lock but does not answer makes a start say so instead of opening a second
# window over the same files.
#   single_instance_test.sh PROGRAM SCRATCH_DIR
set -euo pipefail
program=$1 root=$2
fail() {
  echo "FAILED: $*" >&2
  for log in "$root"/*.log; do [ -f "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }; done
  exit 1
}
exited() { [ ! -e "/proc/$1" ] || grep -q '^[0-9]* ([^)]*) Z' "/proc/$1/stat" 2>/dev/null; }
wait_for() {  # seconds, what, command...
  local deadline=$((SECONDS + $1)) what=$2
  shift 2
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "no $what within the time allowed"
    sleep 0.2
  done
}
# A socket made after the lock was taken, so one a killed copy left behind does not count.
listening() {
  [ -n "$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -type s -name 'MevraMP3Manager-*' \
    -newer "$root/bin/MevraMP3Manager.lock" 2>/dev/null)" ]
}
lock_holder() { head -n 1 "$root/bin/MevraMP3Manager.lock" 2>/dev/null; }
holds_lock() { [ "$(lock_holder)" = "$1" ]; }

rm -rf "$root"
mkdir -p "$root/bin" "$root/home" "$root/run"
chmod 700 "$root/run"
# The program keeps config.ini and its lock beside itself when it can write there, so a copy of
# its own keeps the test's files away from the build's.
ln "$program" "$root/bin/" 2>/dev/null || cp "$program" "$root/bin/"
export HOME=$root/home XDG_RUNTIME_DIR=$root/run
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share

pids=()
cleanup() { for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT
start() {  # log: starts a copy in the background and sets $pid
  "$root/bin/MevraMP3Manager" >"$1" 2>&1 &
  pid=$!
  pids+=("$pid")
}

start "$root/first.log"
first=$pid
wait_for 180 "socket of the first copy" listening
holds_lock "$first" || fail "the lock is not the first copy's"

status=0
timeout 60 "$root/bin/MevraMP3Manager" >"$root/second.log" 2>&1 || status=$?
[ "$status" = 0 ] || fail "the second start exited with status $status"
exited "$first" && fail "the first copy ended when the second started"

# A copy that does not answer: the start waits its time, says who holds the lock and does not
# open a window of its own.
kill -STOP "$first"
start "$root/silent.log"
silent=$pid
wait_for 60 "message about the silent copy" grep -q "（进程$first）" "$root/silent.log"
holds_lock "$first" || fail "the lock changed hands while its holder was stopped"
kill -KILL "$silent"
kill -CONT "$first"

# Killed outright, the first copy leaves its lock file and its socket behind. Reaped, as the
# desktop reaps a program that crashed, so that its process id is really gone.
kill -KILL "$first"
wait "$first" 2>/dev/null || true
[ -e "$root/bin/MevraMP3Manager.lock" ] || fail "the killed copy left no lock behind"
start "$root/third.log"
third=$pid
wait_for 180 "lock of the copy started after the crash" holds_lock "$third"
wait_for 180 "socket of the copy started after the crash" listening
status=0
timeout 60 "$root/bin/MevraMP3Manager" >"$root/fourth.log" 2>&1 || status=$?
[ "$status" = 0 ] || fail "a start beside the copy started after the crash exited with $status"
kill -TERM "$third"
wait_for 120 "end of the third copy after SIGTERM" exited "$third"
status=0
wait "$third" || status=$?
[ "$status" = 0 ] || fail "the third copy exited with status $status"
echo "single instance: all checks passed"
