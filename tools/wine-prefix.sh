#!/usr/bin/env bash
# Makes the quiet Wine prefixes of the given flavours once (default: those the
# tests use here): a template, then a copy with the null graphics driver for
# tests and one with the X11 driver for running the program. Nothing ever
# falls back to ~/.wine.
#   tools/wine-prefix.sh [win32|win64 ...]
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

fail() { echo "wine-prefix: $*" >&2; exit 1; }

make_template() {
  [[ -f "$KS_TEMPLATE_PREFIX/.ks-ready" ]] && return
  rm -rf "$KS_TEMPLATE_PREFIX"
  mkdir -p "$KS_TEMPLATE_PREFIX"
  WINEPREFIX="$KS_TEMPLATE_PREFIX" "$WINELOADER" wineboot -i >/dev/null 2>&1 ||
    fail "wineboot could not make $KS_TEMPLATE_PREFIX with $WINELOADER"
  WINEPREFIX="$KS_TEMPLATE_PREFIX" wineserver -w
  touch "$KS_TEMPLATE_PREFIX/.ks-ready"
}

set_value() { # <prefix> <key> <value name> <data>
  WINEPREFIX="$1" "$WINELOADER" reg add "$2" /v "$3" /d "$4" /f >/dev/null 2>&1 ||
    fail "could not set $2\\$3 in $1"
}

make_prefix() { # <prefix> <graphics driver>
  local prefix="$1" driver="$2"
  [[ -f "$prefix/.ks-ready" ]] && return
  rm -rf "$prefix"
  cp -a "$KS_TEMPLATE_PREFIX" "$prefix"
  rm -f "$prefix/.ks-ready"
  set_value "$prefix" 'HKCU\Software\Wine\Drivers' Graphics "$driver"
  if [[ "$driver" == x11 ]]; then
    set_value "$prefix" 'HKCU\Software\Wine\X11 Driver' Managed N
  fi
  WINEPREFIX="$prefix" wineserver -w
  touch "$prefix/.ks-ready"
}

if (($#)); then flavours=("$@"); else read -ra flavours <<<"$(ks_wine_flavours)"; fi
for flavour in "${flavours[@]}"; do
  ks_use_flavour "$flavour"
  make_template
  make_prefix "$KS_TEST_PREFIX" null
  make_prefix "$KS_RUN_PREFIX" x11
done
