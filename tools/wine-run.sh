#!/usr/bin/env bash
# CTest's emulator for the Windows builds: runs one Windows program under the
# Wine of its flavour (32- or 64-bit, read from the program) in that flavour's
# test prefix, or with --x11 in its prefix with the X11 driver, and passes its
# exit code on. Wine's helper processes inherit descriptors and would keep
# CTest waiting, so they get none: inherited descriptors are closed, a
# persistent wineserver runs with its output on /dev/null, and the program's
# output goes through a temporary file.
#
# Wine 8's server can crash (seen when a process asks for the system's handle
# list, as libgcrypt's entropy gathering does, while other processes of the
# same server start or end). Its clients then exit with status 0 halfway or
# wait forever, so the server is watched: when it dies, the program is
# stopped and the run fails instead of passing.
#   tools/wine-run.sh [--x11] program.exe [arguments]
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
x11=0
[[ "${1:-}" == --x11 ]] && { x11=1; shift; }
flavour="$(ks_program_flavour "${1:-}")" || exit 125
ks_use_flavour "$flavour"
if ((x11)); then export WINEPREFIX="$KS_RUN_PREFIX"; else export WINEPREFIX="$KS_OWN_TEST_PREFIX"; fi
if [[ ! -f "$WINEPREFIX/.ks-ready" ]]; then
  echo "wine-run: the $flavour prefix $WINEPREFIX is missing; run tools/setup.sh" >&2
  exit 125
fi

for fd in /proc/$$/fd/*; do
  fd="${fd##*/}"
  ((fd > 2)) && eval "exec $fd>&-" 2>/dev/null
done

wineserver -p </dev/null >/dev/null 2>&1

# The prefix's server works in a folder named after the prefix's device and
# inode numbers. A crashing server removes its socket before it exits; a
# killed one stays a zombie for a moment after its clients have seen it go.
find_server() {
  local dev ino name pid folder
  read -r dev ino < <(stat -c '%d %i' "$WINEPREFIX")
  name="$(printf 'server-%x-%x' "$dev" "$ino")"
  for pid in $(pgrep wineserver); do
    folder="$(readlink "/proc/$pid/cwd")"
    if [[ "$folder" == */"$name" ]]; then
      server="$pid"
      socket="$folder/socket"
      socket_inode="$(stat -c %i "$socket" 2>/dev/null)"
      return
    fi
  done
}
server_alive() {
  [[ "$(stat -c %i "$socket" 2>/dev/null)" == "$socket_inode" &&
     "$(ps -o stat= -p "$server" 2>/dev/null)" == [^Z]* ]]
}
server=""
find_server

out="$(mktemp)"
trap 'rm -f "$out"' EXIT
"$WINELOADER" "$@" </dev/null >"$out" 2>&1 &
program=$!
if [[ -n "$server" ]]; then
  (while server_alive; do sleep 0.5; done) </dev/null >/dev/null 2>&1 &
  watcher=$!
  wait -n "$program" "$watcher"
  if ! server_alive; then
    kill -KILL "$program" 2>/dev/null
    wait "$program"
    cat "$out"
    echo "wine-run: the wineserver of $WINEPREFIX died during the run; the result does not count" >&2
    exit 125
  fi
  kill "$watcher" 2>/dev/null
fi
wait "$program"
rc=$?
cat "$out"
exit $rc
