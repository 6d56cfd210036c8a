#!/usr/bin/env bash
# Regenerates docs/shots/tessory-*.png: the main window, its Listing menu, the about box and the
# preview window, taken under Xvfb in a Wine virtual desktop (which draws the window frames).
# Usage: scripts/shots/tessory.sh   (BUILD_DIR and DISPLAY_NUM as for scripts/test.sh)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
scripts/setup.sh
: "${BUILD_DIR:=build/shots}"
: "${DISPLAY_NUM:=96}"
export BUILD_DIR DISPLAY_NUM
cmake -S . -B "$BUILD_DIR/win64" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR/win64" --target Tessory -j"$(nproc)" >/dev/null
# shellcheck source=../wine-env.sh
. scripts/wine-env.sh
exe="$root/$BUILD_DIR/win64/bin/Tessory.exe"
out="$root/docs/shots"
mkdir -p "$out"

desktop_w=800 desktop_h=560
# shellcheck source=screen.sh
. scripts/shots/screen.sh
shot() { grab "$desktop_w" "$desktop_h" "$out/$1"; }
# start_desktop ARGS...: Wine's virtual desktop of the current size running ARGS, once drawn.
start_desktop() {
  wine explorer "/desktop=Tessory,${desktop_w}x${desktop_h}" "$@" >/dev/null 2>&1 &
  wait_for_window "$desktop_w" "$desktop_h"
}
click() { act "$desktop_w" "$desktop_h" xdotool mousemove --sync "$1" "$2" click 1; }

# A small folder to list.
samples="$WINEPREFIX/drive_c/Samples"
mkdir -p "$samples/Letters" "$samples/Photos"
printf 'Dear reader,\n' >"$samples/Letters/welcome.txt"
printf 'Minutes of the meeting\n' >"$samples/Letters/minutes.txt"
head -c 48000 /dev/zero >"$samples/Photos/harbour.bmp"
printf 'Budget 2026\n' >"$samples/budget.csv"

stop_all
wine reg add 'HKCU\Software\VB and VBA Program Settings\Ombrel\Output' /v Browser /t REG_SZ /d 1 /f >/dev/null 2>&1
start_desktop "$exe"
shot tessory-main.png
# The main window is centred on the virtual desktop; its menu bar starts 30 pixels below its top.
win_w=511 win_h=359
left=$(( (desktop_w - win_w) / 2 )) top=$(( (desktop_h - win_h) / 2 ))
click $((left + 22)) $((top + 31))
shot tessory-menu.png
act "$desktop_w" "$desktop_h" xdotool key Escape Escape
click $((left + 110)) $((top + 31))
act "$desktop_w" "$desktop_h" xdotool key Down Down Return
shot tessory-about.png

desktop_w=1024 desktop_h=700
stop_all
start_desktop "$exe" 'C:\Samples'
shot tessory-preview.png
# The main window at each display scale (Wine reads LogPixels when a process starts), cut out
# of a desktop large enough for the 150 % size.
desktop_w=1000 desktop_h=700
for dpi in 96 120 144; do
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  stop_all
  start_desktop "$exe"
  shot desk.png
  convert "$out/desk.png" -trim +repage "$out/tessory-dpi-$dpi.png"
  rm -f "$out/desk.png"
done
wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
wineserver -k 2>/dev/null || true
echo "screenshots written to docs/shots"
