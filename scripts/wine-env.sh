# Sourced by the test scripts: a Wine prefix of the build's own, a running wineserver and an X display.
# BUILD_DIR and DISPLAY_NUM may be set by the caller so that several builds run side by side.
: "${BUILD_DIR:=build}"
: "${DISPLAY_NUM:=97}"
export WINEPREFIX="$(realpath -m "$BUILD_DIR")/wineprefix"
export WINEDEBUG=-all
# No .NET runtime download, and no menu builder: it would write the file types the tests register
# into the user's own desktop menus, outside the prefix.
export WINEDLLOVERRIDES="mscoree=;winemenubuilder.exe=d"
export WINEARCH=win64
# 64-bit programs go through Wine's 64-bit loader by name: once the 32-bit loader is installed, the
# plain wine launcher (and wineboot, which goes through it) picks that one instead. A folder of the
# build's own, first on PATH, makes every "wine" and "wineboot" here mean the 64-bit loader.
export WINELOADER=/usr/lib/wine/wine64
wine64_bin="$(realpath -m "$BUILD_DIR")/wine64-bin"
if [ ! -x "$wine64_bin/wineboot" ]; then
  mkdir -p "$wine64_bin"
  # Scripts, not links: the loader started under another name fails to start its children.
  printf '#!/bin/sh\nexec %s "$@"\n' "$WINELOADER" >"$wine64_bin/wine"
  printf '#!/bin/sh\nexec %s wineboot.exe "$@"\n' "$WINELOADER" >"$wine64_bin/wineboot"
  chmod +x "$wine64_bin/wine" "$wine64_bin/wineboot"
fi
case ":$PATH:" in *":$wine64_bin:"*) ;; *) export PATH="$wine64_bin:$PATH" ;; esac

# The display first: Wine's desktop process, started by the first wine command, keeps the
# display it was started with.
if ! xdpyinfo -display ":$DISPLAY_NUM" >/dev/null 2>&1; then
  Xvfb ":$DISPLAY_NUM" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  for _ in $(seq 50); do xdpyinfo -display ":$DISPLAY_NUM" >/dev/null 2>&1 && break; sleep 0.1; done
fi
export DISPLAY=":$DISPLAY_NUM"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w
  # The web browser control must never try to download its engine here.
  wine reg add 'HKCU\Software\Wine\MSHTML' /v GeckoUrl /t REG_SZ /d '' /f >/dev/null 2>&1 || true
  # Without a window manager, hiding a managed window waits two seconds for it; Wine draws the frames itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
fi
# Wine's own fonts (Tahoma, and Marlett for the caption buttons) are not found by this Wine
# build on its own; in the prefix's font folder they are.
cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
wineserver -p >/dev/null 2>&1 || true  # already running: fine

# Start Wine's background services here, once DISPLAY is set (the desktop process keeps it), and
# with no output attached: started by the first test instead, they would hold ctest's output
# pipe open and that test would never end.
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
