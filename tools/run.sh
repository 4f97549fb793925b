#!/usr/bin/env bash
# Sets everything up, builds the Windows program and starts it under Wine on
# the emulated token: the 32-bit product where 32-bit programs run, else its
# 64-bit build under 64-bit Wine (KS_WINE_FLAVOUR=win32|win64 forces one).
# Without a display it runs on a virtual one (Xvfb).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

tools/setup.sh
. tools/wine-env.sh
read -ra flavours <<<"$(ks_wine_flavours)"
flavour="${flavours[0]}"
cmake --preset "$flavour" >/dev/null
cmake --build --preset "$flavour"

exe="$ROOT/build/$flavour/bin/Keystall.exe"
if [[ ! -f "$exe" ]]; then
  echo "Keystall.exe is not built yet; the libraries and tests are in build/$flavour/bin." >&2
  exit 0
fi

ks_use_flavour "$flavour"
export WINEPREFIX="$KS_RUN_PREFIX"
if [[ -z "${DISPLAY:-}" ]]; then
  Xvfb :77 -screen 0 1280x1024x24 >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null' EXIT
  export DISPLAY=:77
  echo "No display: Keystall runs on the virtual display $DISPLAY." >&2
fi
why="${KS_WINE_FLAVOUR:+KS_WINE_FLAVOUR=$KS_WINE_FLAVOUR}"
case "$flavour" in
  win32) echo "Keystall runs as the 32-bit product under 32-bit Wine${why:+ ($why)}." >&2 ;;
  win64) echo "Keystall runs as its 64-bit build under 64-bit Wine (${why:-32-bit programs cannot run here})." >&2 ;;
esac
cd "$(dirname "$exe")"
"$WINELOADER" "$exe"
