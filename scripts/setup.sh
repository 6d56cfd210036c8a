#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12. Quick when everything is there.
set -euo pipefail

packages=(cmake make g++ clang libclang-rt-14-dev googletest libbenchmark-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xauth x11-utils xdotool imagemagick
          fp-utils tree time python3)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# wine32 makes the wine launcher pick the 32-bit loader, which cannot run on a kernel without
# 32-bit support; the tests run 64-bit programs with wine64.
if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' &&
   ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  [ "$(id -u)" -ne 0 ] && SUDO=sudo || SUDO=""
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y -qq wine32:i386 >/dev/null
fi
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "setup: installing ${missing[*]}" >&2
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
