#!/usr/bin/env bash
# Runs the shipped 32-bit programs (the i686 build's deliverables) on Wine's 32-bit loader under
# qemu-i386, in a 64-bit prefix of their own: the command-line listing, a silent uninstall, a
# corrupt record and the progress window, with screenshots of the main and the progress window.
# Expects the builds BUILD_DIR/win64 (shipped32_driver) and BUILD_DIR/win32 (deliverables,
# shipped32_control). Prints "shipped32 NAME: ok" or "shipped32 NAME: FAILED" for each check.
# Usage: tests/win32_shipped/run.sh   (BUILD_DIR, SHIPPED32_DISPLAY (default DISPLAY_NUM + 1),
#        SHOTS_DIR (default BUILD_DIR/shipped32/shots))
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
: "${BUILD_DIR:=build}"
: "${DISPLAY_NUM:=97}"
build=$(realpath -m "$BUILD_DIR")
bin64="$build/win64/bin" bin32="$build/win32/bin"
work="$build/shipped32"
shots=$(realpath -m "${SHOTS_DIR:-$work/shots}")
patience=900  # seconds for one 32-bit process: about 50 s of CPU each, more on a busy machine
mkdir -p "$work" "$shots"

BUILD_DIR="$work" DISPLAY_NUM="${SHIPPED32_DISPLAY:-$((DISPLAY_NUM + 1))}" . scripts/wine-env.sh
# Wine's 32-bit DLLs: wineboot cannot start the 32-bit side to put them there.
sys32="$WINEPREFIX/drive_c/windows/syswow64"
[ -f "$sys32/kernel32.dll" ] || cp /usr/lib/i386-linux-gnu/wine/i386-windows/* "$sys32/"

winpath() { echo "Z:$(tr / '\\' <<<"$1")"; }
drive_c="$WINEPREFIX/drive_c/shipped32"
driver() { wine "$bin64/shipped32_driver.exe" "$@"; }
# The 32-bit loader cannot exec its preloader here, and must not take the 64-bit loader's name.
run32() { (unset WINELOADER; WINELOADERNOEXEC=1 exec timeout "$patience" qemu-i386 /usr/lib/wine/wine "$@"); }
# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
  local end=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do [ $SECONDS -lt $end ] || return 1; sleep 1; done
}
x_window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
has_x_window() { [ -n "$(x_window "$1")" ]; }
# painted_shot TITLE FILE: takes the window's picture into FILE once it is painted, that is once
# at most 5 % of it is still the black of a window the program has not drawn yet.
painted_shot() {
  local id black; id=$(x_window "$1")
  [ -n "$id" ] && xdotool windowraise "$id" && import -window "$id" "$shots/$2" || return 1
  black=$(convert "$shots/$2" -fill white +opaque black -colorspace gray -format '%[fx:1-mean]' info:)
  awk -v b="$black" 'BEGIN { exit !(b <= 0.05) }'
}

passed=0 failed=0
result() {  # NAME OK(0/1) [details]
  if [ "$2" = 0 ]; then echo "shipped32 $1: ok"; passed=$((passed + 1))
  else echo "shipped32 $1: FAILED ${3:-}"; failed=$((failed + 1)); fi
}

start=$SECONDS
if ! driver prepare "$(winpath "$bin32")" "$(winpath "$root/uninstaller/template/default")"; then
  result prepare 1; echo "shipped32: ${passed} passed, ${failed} failed"; exit 1
fi

# The 64-bit build's listing of the same tree, to compare with.
# The run is over once the default program has been handed the listing.
wine 'C:\shipped32\app64\Tessory.exe' 'C:\shipped32\tree' >/dev/null 2>&1 &
tessory64=$!
reference=0
wait_for "$patience" test -f "$drive_c/app64/recorded.txt" || reference=1
driver close-main || reference=1
wait "$tessory64" || reference=1
rm -f "$drive_c/app64/recorded.txt"

# The four 32-bit runs at once; a 64-bit program holds one installed file open meanwhile.
wine "$bin64/shipped32_driver.exe" hold 'C:\shipped32\silent\app\locked.dat' 'C:\shipped32\silent\stop' \
  'C:\shipped32\silent\held' &
holder=$!
wait_for "$patience" test -f "$drive_c/silent/held" || echo "shipped32: the file was never held open"
(cd "$drive_c/app32" && run32 'C:\shipped32\app32\Tessory.exe' 'C:\shipped32\tree' >/dev/null 2>&1) &
tessory32=$!
run32 'C:\shipped32\silent\app\unins.exe' /SILENT >/dev/null 2>&1 &
silent=$!
run32 'C:\shipped32\corrupt\app\unins.exe' /SILENT >/dev/null 2>&1 &
corrupt=$!
run32 'C:\shipped32\window\app\unins.exe' /NOQUERY /NOREMOVE >/dev/null 2>&1 &
window=$!

# The listing: handed to the default program, then the main window is looked at and closed.
ok=$reference why=""
[ "$reference" = 0 ] || why+=" (the 64-bit reference listing did not end)"
wait_for "$patience" test -f "$drive_c/app64/recorded.txt" || { ok=1; why+=" (never handed on)"; }
wait_for "$patience" painted_shot Tessory shipped32-tessory-main.png || { ok=1; why+=" (main window never painted)"; }
driver close-main || { ok=1; why+=" (no main window to close)"; }
wait "$tessory32" || { code=$?; ok=1; why+=" (exit code $code)"; }
driver check-listing || ok=1
result listing "$ok" "$why"

# WOW64: the 32-bit program's listing of System32 is the true one, not SysWOW64 in its place.
ok=0
rm -f "$drive_c/app64/recorded.txt"
(cd "$drive_c/app32" && run32 'C:\shipped32\app32\Tessory.exe' 'C:\windows\system32\shipped32-only64' >/dev/null 2>&1) &
tessory32=$!
wait_for "$patience" test -f "$drive_c/app64/recorded.txt" || ok=1
wait_for "$patience" has_x_window Tessory && driver close-main || ok=1
wait "$tessory32" || ok=1
driver check-system32 || ok=1
result wow64-system32 "$ok"

# The progress window at the end of its run, then closed with its Close button (quit code 1).
ok=0
wait_for "$patience" has_x_window 'Sample Tool Uninstall' || ok=1
driver window-done 'Sample Tool Uninstall' || ok=1
wait_for "$patience" painted_shot 'Sample Tool Uninstall' shipped32-uninstaller-progress.png || ok=1
driver close-window 'Sample Tool Uninstall' || ok=1
wait "$window"; code=$?
[ "$code" = 1 ] || ok=1
[ -f "$drive_c/window/app/SampleTool.exe" ] && ok=1
result progress-window "$ok" "(exit code $code)"

wait "$silent"; code=$?
touch "$drive_c/silent/stop"
wait "$holder"
driver check-silent "$code"
result silent-uninstall $?

wait "$corrupt"; code=$?
driver check-corrupt "$code"
result corrupt-record $?

echo "shipped32: ${passed} passed, ${failed} failed, $((SECONDS - start)) s; screenshots in $shots"
[ "$failed" = 0 ]
