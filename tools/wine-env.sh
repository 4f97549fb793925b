# Sourced by the Wine scripts: one place for the Windows flavours, their
# prefixes and the environment every Wine process of ours gets. Code page 1251
# comes from the locale.
#
# Flavours: win32 is the product, run by 32-bit Wine; win64 is the same tree
# built for 64-bit Windows, run by 64-bit Wine, for machines whose kernel
# cannot execute 32-bit programs. KS_WINE_FLAVOUR=win32|win64|both forces the
# choice; unset, both run where 32-bit programs run and win64 elsewhere.
KS_WINE_HOME="${KS_WINE_HOME:-/var/cache/keystall}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=ru_RU.UTF-8
export TZ="${KS_TZ:-Europe/Moscow}"

# The loaders are called directly: /usr/bin/wine picks the 32-bit one whenever
# it is installed, even where it cannot run.
KS_WINE32_LOADER=/usr/lib/wine/wine
KS_WINE64_LOADER=/usr/lib/wine/wine64

ks_runs_32bit() {
  "$KS_WINE32_LOADER" --version >/dev/null 2>&1
}

# Prints the flavours the Windows tests use here, or fails with the reason.
ks_wine_flavours() {
  case "${KS_WINE_FLAVOUR:-}" in
    win32)
      ks_runs_32bit || { echo "KS_WINE_FLAVOUR=win32, but 32-bit programs cannot run on this machine" >&2; return 1; }
      echo win32 ;;
    win64) echo win64 ;;
    both)
      ks_runs_32bit || { echo "KS_WINE_FLAVOUR=both, but 32-bit programs cannot run on this machine" >&2; return 1; }
      echo win32 win64 ;;
    "") if ks_runs_32bit; then echo win32 win64; else echo win64; fi ;;
    *) echo "KS_WINE_FLAVOUR must be win32, win64 or both, not '$KS_WINE_FLAVOUR'" >&2; return 1 ;;
  esac
}

# Prints the flavour a Windows program needs, read from its PE header.
ks_program_flavour() { # <program.exe>
  local offset machine
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [[ -n "$offset" ]] && machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  case "${machine:-}" in
    014c) echo win32 ;;
    8664) echo win64 ;;
    *) echo "$1 is not a 32- or 64-bit Windows program" >&2; return 1 ;;
  esac
}

# Selects a flavour: its loader, prefix kind and prefixes (a template, one
# with the null graphics driver for tests, one with X11 for a person).
# KS_WINEPREFIX (win32) and KS_WINEPREFIX64 (win64) put the tests in another
# copy of the test prefix.
ks_use_flavour() { # <win32|win64>
  case "$1" in
    win32)
      export WINELOADER="$KS_WINE32_LOADER"
      export WINEARCH=win32
      KS_TEMPLATE_PREFIX="$KS_WINE_HOME/wine-template"
      KS_TEST_PREFIX="$KS_WINE_HOME/wine-test"
      KS_RUN_PREFIX="$KS_WINE_HOME/wine-run"
      KS_OWN_TEST_PREFIX="${KS_WINEPREFIX:-$KS_TEST_PREFIX}" ;;
    win64)
      export WINELOADER="$KS_WINE64_LOADER"
      export WINEARCH=win64
      KS_TEMPLATE_PREFIX="$KS_WINE_HOME/wine64-template"
      KS_TEST_PREFIX="$KS_WINE_HOME/wine64-test"
      KS_RUN_PREFIX="$KS_WINE_HOME/wine64-run"
      KS_OWN_TEST_PREFIX="${KS_WINEPREFIX64:-$KS_TEST_PREFIX}" ;;
    *) echo "unknown Windows flavour '$1'" >&2; return 1 ;;
  esac
}
