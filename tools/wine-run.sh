#!/usr/bin/env bash
# CTest's emulator for the Windows builds: runs one Windows program under the
# Wine of its flavour (32- or 64-bit, read from the program) in that flavour's
# test prefix, or with --x11 in its prefix with the X11 driver, and passes its
# exit code on. Wine's helper processes inherit descriptors and would keep
# CTest waiting, so they get none: inherited descriptors are closed, a
# persistent wineserver runs with its output on /dev/null, and the program's
# output goes through a temporary file.
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

out="$(mktemp)"
trap 'rm -f "$out"' EXIT
"$WINELOADER" "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
exit $rc
