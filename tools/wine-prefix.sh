#!/usr/bin/env bash
# Makes the quiet 32-bit Wine prefixes once: a template, then a copy with the
# null graphics driver for tests and one with the X11 driver for running the
# program. Nothing ever falls back to ~/.wine.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

template="$KS_WINE_HOME/wine-template"
if [[ ! -f "$template/.ks-ready" ]]; then
  rm -rf "$template"
  mkdir -p "$template"
  WINEPREFIX="$template" wineboot -i >/dev/null 2>&1
  WINEPREFIX="$template" wineserver -w
  touch "$template/.ks-ready"
fi

make_prefix() { # <prefix> <graphics driver>
  local prefix="$1" driver="$2"
  [[ -f "$prefix/.ks-ready" ]] && return
  rm -rf "$prefix"
  cp -a "$template" "$prefix"
  rm -f "$prefix/.ks-ready"
  WINEPREFIX="$prefix" wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$driver" /f >/dev/null 2>&1
  if [[ "$driver" == x11 ]]; then
    WINEPREFIX="$prefix" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  fi
  WINEPREFIX="$prefix" wineserver -w
  touch "$prefix/.ks-ready"
}
make_prefix "$KS_TEST_PREFIX" null
make_prefix "$KS_RUN_PREFIX" x11
