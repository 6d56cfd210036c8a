#!/usr/bin/env bash
# Regenerates docs/shots/settings-*.png: the four pages of the settings dialog under Wine and Xvfb,
# opened on the stored settings of the build's Wine prefix.
# Usage: BUILD_DIR=build DISPLAY_NUM=97 scripts/shots/settings.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
: "${BUILD_DIR:=build}"
export BUILD_DIR
cmake -S . -B "$BUILD_DIR/win64" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR/win64" --target settings_dialog_shot -j"$(nproc)"
# wineserver -p fails when a persistent server is already running; that is fine here.
set +e
# shellcheck source=../wine-env.sh
. scripts/wine-env.sh
set -e

mkdir -p docs/shots
# shot_page PAGE FILE: opens the dialog on the page and takes its picture once the window has
# appeared and looks the same twice in a row (drawn).
shot_page() {
  local shot window="" previous="" now
  wine "$BUILD_DIR/win64/bin/settings_dialog_shot.exe" "$1" 6 &
  shot=$!
  for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name '^Settings$' 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "settings dialog did not open" >&2; exit 1; }
  for _ in $(seq 50); do
    now=$(import -window "$window" png:- | md5sum)
    [ "$now" = "$previous" ] && break
    previous=$now
    sleep 0.2
  done
  import -window "$window" "$2"
  wait "$shot"
  echo "$2"
}

pages=(file-filter output-options display-columns html-style)
for i in "${!pages[@]}"; do
  shot_page "$i" "docs/shots/settings-${pages[$i]}.png"
done

# The first page at each display scale: Wine reads LogPixels when a process starts.
for dpi in 96 120 144; do
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
  wineserver -w
  wineserver -p >/dev/null 2>&1 || true
  shot_page 0 "docs/shots/settings-dpi-$dpi.png"
done
wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
