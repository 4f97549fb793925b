#!/usr/bin/env bash
# Sets everything up, builds every target and runs every test. Exits non-zero
# when any build or test fails.
#
# native, native-asan and win32 (the product) are always built. The Windows
# tests run under 32-bit Wine from the win32 build where 32-bit programs run,
# under 64-bit Wine from the win64 build where they cannot, and both where both
# can. KS_WINE_FLAVOUR=win32|win64|both forces the choice, e.g. win64 runs on
# any machine exactly what a machine without 32-bit support runs. Where the
# win32 tests do not run, its checks that need no Wine (label "host") still do.
#
# Compiles go through ccache with a cache outside the clone
# (CCACHE_DIR, default /var/cache/keystall/ccache).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

tools/setup.sh
. tools/wine-env.sh
read -ra flavours <<<"$(ks_wine_flavours)"
runs() { [[ " ${flavours[*]} " == *" $1 "* ]]; }

export CCACHE_DIR="${CCACHE_DIR:-/var/cache/keystall/ccache}"
export CCACHE_BASEDIR="$ROOT" CCACHE_NOHASHDIR=1
export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache

presets=(native native-asan win32)
runs win64 && presets+=(win64)

start=$(date +%s)
status=0
times=()
for preset in "${presets[@]}"; do
  echo "=== $preset: build"
  t=$(date +%s)
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -- -k 0 || status=1
  built=$(($(date +%s) - t))
  t=$(date +%s)
  if [[ "$preset" == win32 ]] && ! runs win32; then
    echo "=== $preset: checks that need no Wine"
    ctest --preset "$preset" -L host || status=1
  else
    echo "=== $preset: test"
    # Wine 8's server can die under a test (see tools/wine-run.sh): a Windows
    # test that fails is run once more, so only a repeated failure counts.
    again=()
    [[ "$preset" == win* ]] && again=(--repeat until-pass:2)
    ctest --preset "$preset" "${again[@]}" || status=1
  fi
  times+=("$preset build ${built} s, test $(($(date +%s) - t)) s")
done
printf '=== %s\n' "${times[@]}"
echo "=== all took $(($(date +%s) - start)) s; Windows tests ran under: ${flavours[*]}"
exit $status
