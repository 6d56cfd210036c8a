#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12. Quick when everything is there.
set -euo pipefail

packages=(cmake make g++ clang libclang-rt-14-dev googletest libbenchmark-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xauth x11-utils xdotool imagemagick
          fp-utils tree time python3 qemu-user wine32:i386 fonts-wine nlohmann-json3-dev
          lintian osslsigncode openssl zip unzip dpkg-dev file man-db groff-base locales)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "setup: installing ${missing[*]}" >&2
# The shipped 32-bit programs run on Wine's 32-bit loader (under qemu-i386): i386 packages.
dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
