#!/usr/bin/env bash
# Sets everything up, builds the Windows program and starts it under Wine on
# the emulated token. Without a display it runs on a virtual one (Xvfb).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

tools/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32

exe="$ROOT/build/win32/bin/Keystall.exe"
if [[ ! -f "$exe" ]]; then
  echo "Keystall.exe is not built yet; the libraries and tests are in build/win32/bin." >&2
  exit 0
fi

. tools/wine-env.sh
export WINEPREFIX="$KS_RUN_PREFIX"
if [[ -z "${DISPLAY:-}" ]]; then
  Xvfb :77 -screen 0 1280x1024x24 >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null' EXIT
  export DISPLAY=:77
  echo "No display: Keystall runs on the virtual display $DISPLAY." >&2
fi
cd "$(dirname "$exe")"
wine "$exe"
