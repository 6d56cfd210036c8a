#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12. Quick when everything is there.
set -euo pipefail

packages=(cmake make g++ clang libclang-rt-14-dev googletest libbenchmark-dev
          g++-mingw-w64-i686 wine wine32 wine64 xvfb xauth x11-utils xdotool imagemagick
          fp-utils tree time)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "setup: installing ${missing[*]}" >&2
dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
