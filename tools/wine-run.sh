#!/usr/bin/env bash
# CTest's emulator for the win32 build: runs one Windows program under Wine in
# the test prefix and passes its exit code on. Wine's helper processes inherit
# descriptors and would keep CTest waiting, so they get none: inherited
# descriptors are closed, a persistent wineserver runs with its output on
# /dev/null, and the program's output goes through a temporary file.
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
export WINEPREFIX="${KS_WINEPREFIX:-$KS_TEST_PREFIX}"
if [[ ! -f "$WINEPREFIX/.ks-ready" ]]; then
  echo "wine-run: prefix $WINEPREFIX is missing; run tools/setup.sh" >&2
  exit 125
fi

for fd in /proc/$$/fd/*; do
  fd="${fd##*/}"
  ((fd > 2)) && eval "exec $fd>&-" 2>/dev/null
done

wineserver -p </dev/null >/dev/null 2>&1

out="$(mktemp)"
trap 'rm -f "$out"' EXIT
wine "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
exit $rc
