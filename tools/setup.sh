#!/usr/bin/env bash
# Installs everything the builds and the tests need on a fresh Debian 12
# machine (run as root), checks whether 32-bit programs run here and makes the
# quiet Wine prefixes of the Windows flavours the tests will use, once.
# Re-running it on a ready machine only checks and returns. A step that fails
# says which and why in one line.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
  cmake ninja-build g++ make pkg-config python3 python3-mpmath locales ccache
  googletest
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
  wine wine32:i386 wine64 xvfb xauth x11-utils
  zlib1g-dev libgcrypt20-dev libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev
  openssl libssl-dev libengine-gost-openssl
  unzip zip p7zip-full
  clang
  libsqlite3-dev
  ghostscript poppler-utils unrtf pandoc
  firebird3.0-server-core firebird3.0-utils libfbclient2 firebird-dev
)

# step <what> <command...>: the command's output is shown only when it fails.
step() {
  local what="$1" log
  shift
  log="$(mktemp)"
  if ! "$@" >"$log" 2>&1; then
    echo "setup: $what failed: $(grep -v '^[[:space:]]*$' "$log" | tail -n 1)" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    step "adding the i386 architecture" dpkg --add-architecture i386
  fi
  step "apt-get update" apt-get update -qq
  step "installing ${missing[*]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine takes code page 1251 from the Russian locale.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >>/etc/locale.gen
  step "generating the ru_RU.UTF-8 locale" locale-gen
fi

. "$ROOT/tools/wine-env.sh"
flavours="$(ks_wine_flavours 2>&1)" || { echo "setup: choosing the Windows flavour failed: $flavours" >&2; exit 1; }
if ks_runs_32bit; then
  found="32-bit programs run here"
else
  found="32-bit programs cannot run here ($KS_WINE32_LOADER does not start)"
fi
forced="${KS_WINE_FLAVOUR:+, forced by KS_WINE_FLAVOUR=$KS_WINE_FLAVOUR}"
echo "setup: $found; Windows tests use: $flavours$forced"
for flavour in $flavours; do
  step "making the $flavour Wine prefixes" "$ROOT/tools/wine-prefix.sh" "$flavour"
done
