#!/usr/bin/env bash
# Installs everything the two builds and the tests need on a fresh Debian 12
# machine (run as root), and makes the quiet Wine prefix once. Re-running it on
# a ready machine only checks and returns.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
  cmake ninja-build g++ make pkg-config python3 python3-mpmath locales
  googletest
  g++-mingw-w64-i686 libz-mingw-w64-dev
  wine wine32:i386 xvfb xauth
  zlib1g-dev libgcrypt20-dev libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev
  openssl libssl-dev libengine-gost-openssl
  unzip zip p7zip-full
  clang
  firebird3.0-server-core firebird3.0-utils libfbclient2 firebird-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes code page 1251 from the Russian locale.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi

"$ROOT/tools/wine-prefix.sh"
