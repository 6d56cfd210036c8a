#!/usr/bin/env bash
# Regenerates docs/shots/uninstaller-*.png: CorvelUninstaller with the default progress-window
# template, mid-run (restore question up), at the end, with the mouse on its link, and its
# Details dialog; then the finished window alone at 96, 120 and 144 dots per inch
# (uninstaller-dpi-*.png). Taken under Xvfb in a Wine virtual desktop (which draws the frames).
# Usage: scripts/shots/uninstaller.sh   (BUILD_DIR and DISPLAY_NUM as for scripts/test.sh)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
scripts/setup.sh
: "${BUILD_DIR:=build/shots}"
: "${DISPLAY_NUM:=96}"
export BUILD_DIR DISPLAY_NUM
cmake -S . -B "$BUILD_DIR/tools" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR/tools" --target templatec corvel-recordwriter -j"$(nproc)" >/dev/null
cmake -S . -B "$BUILD_DIR/win64" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR/win64" --target CorvelUninstaller -j"$(nproc)" >/dev/null
# shellcheck source=../wine-env.sh
. scripts/wine-env.sh
out="$root/docs/shots"
mkdir -p "$out"

desktop_w=640 desktop_h=480
# shellcheck source=screen.sh
. scripts/shots/screen.sh
shot() { grab "$desktop_w" "$desktop_h" "$out/$1"; }

# A small installed program: a file, a backup, and a folder holding the user's own file.
app="$WINEPREFIX/drive_c/SampleTool"
install_app() {
  rm -rf "$app"
  mkdir -p "$app/backup" "$app/Projects"
  printf 'x' >"$app/SampleTool.exe"
  printf 'old' >"$app/backup/helper.dll"
  printf 'my work' >"$app/Projects/plan.txt"
  cp "$work/unins.exe" "$app/unins.exe"
}

work=$(mktemp -d)
"$BUILD_DIR/tools/bin/templatec" uninstaller/template/default/progress.tpl.txt "$work/progress.tpl"
cat >"$work/record.txt" <<RECORD
language 1
string 0 "%s Uninstall"
string 1 "Remove %s and all of its components?"
string 3 "Restore the files that setup replaced?"
string 5 "Files not removed:"
string 6 "Folders not removed:"
string 7 "Registry keys not removed:"
template $work/progress.tpl
image 1 $root/uninstaller/template/default/banner.bmp
image 2 $root/uninstaller/template/default/tick.bmp
product Sample Tool
backup C:\\SampleTool\\backup\\helper.dll|C:\\SampleTool\\helper.dll|0|0|0|0
file C:\\SampleTool\\SampleTool.exe
directory C:\\SampleTool\\Projects
directory C:\\SampleTool\\backup
RECORD
"$BUILD_DIR/tools/bin/corvel-recordwriter" "$work/record.txt" "$BUILD_DIR/win64/bin/CorvelUninstaller.exe" "$work/unins.exe"
install_app

stop_all
wine explorer "/desktop=Uninstall,${desktop_w}x${desktop_h}" 'C:\SampleTool\unins.exe' /NOREMOVE >/dev/null 2>&1 &
wait_for_window "$desktop_w" "$desktop_h"
d=("$desktop_w" "$desktop_h")
act "${d[@]}" xdotool key Return           # confirmation: Yes; the run stops at the restore question
shot uninstaller-progress.png
act "${d[@]}" xdotool key Tab Return       # restore question: No
shot uninstaller-done.png
# The window is centred on the desktop: the maker link sits at its lower left.
act "${d[@]}" xdotool mousemove --sync 137 391
shot uninstaller-hover.png
act "${d[@]}" xdotool mousemove --sync 620 20
act "${d[@]}" xdotool key shift+Tab space  # focus moves from Close to Details
shot uninstaller-details.png
act "${d[@]}" xdotool key Return
xdotool key Return                         # Close
stop_all

# The finished window at each display scale. Wine reads the user's LogPixels value when a
# process starts; the window is cut out of a desktop large enough for the 150 % size.
dpi_w=800 dpi_h=640
for dpi in 96 120 144; do
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  stop_all
  install_app
  wine explorer "/desktop=Uninstall,${dpi_w}x${dpi_h}" 'C:\SampleTool\unins.exe' /NOREMOVE >/dev/null 2>&1 &
  wait_for_window "$dpi_w" "$dpi_h"
  act "$dpi_w" "$dpi_h" xdotool key Return      # confirmation: Yes
  act "$dpi_w" "$dpi_h" xdotool key Tab Return  # restore question: No; the focus is then on Close
  grab "$dpi_w" "$dpi_h" "$work/desk.png"
  # Trim the desktop background around the centred window.
  convert "$work/desk.png" -trim +repage "$out/uninstaller-dpi-$dpi.png"
  xdotool key Return        # Close
done
wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
stop_all
rm -rf "$work"
echo "screenshots written to docs/shots"
