# Sourced by the shot scripts: pictures of Wine's virtual desktop on DISPLAY_NUM, taken once the
# screen has settled rather than after fixed pauses.
# grab W H FILE: the top-left W x H of the screen.
grab() { import -window root -display ":$DISPLAY_NUM" -crop "${1}x${2}+0+0" +repage "$3"; }
screen_sum() { grab "$1" "$2" png:- | md5sum; }
# settle W H [BEFORE]: waits (at most two minutes) until the screen differs from BEFORE and looks
# the same over two looks half a second apart.
settle() {
  local previous="" now
  for _ in $(seq 240); do
    sleep 0.5
    now=$(screen_sum "$1" "$2")
    [ "$now" != "${3:-}" ] && [ "$now" = "$previous" ] && return 0
    previous=$now
  done
  return 1
}
# act W H COMMAND...: runs the command (a key press, a click, a program start) and waits until the
# screen has changed and settled.
act() {
  local w=$1 h=$2 before; shift 2
  before=$(screen_sum "$w" "$h")
  "$@"
  settle "$w" "$h" "$before" || { echo "the screen did not settle after: $*" >&2; return 1; }
}
# stop_all: ends the prefix's programs and waits for them, then starts a persistent server again.
stop_all() { wineserver -k 2>/dev/null || true; wineserver -w; wineserver -p >/dev/null 2>&1 || true; }
# wait_for_window W H: waits (at most two minutes) until a window covers the centre of Wine's desktop window (of the
# given size): neither black (not drawn yet) nor the desktop's blue. Wine starts slowly on a
# busy machine, and the root window may still show an earlier desktop, so the desktop's own
# X window is looked at.
wait_for_window() {
  local desktop colour
  desktop=$(timeout 120 xdotool search --sync --name 'Wine desktop' | head -1) || true
  [ -n "$desktop" ] || { echo "no Wine desktop appeared" >&2; return 1; }
  for _ in $(seq 240); do
    colour=$(import -window "$desktop" -display ":$DISPLAY_NUM" -crop "1x1+$(($1 / 2))+$(($2 / 2))" +repage \
      -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -1)
    case "$colour" in '' | '#000000' | '#256F95') sleep 0.5 ;; *) settle "$1" "$2"; return ;; esac
  done
  echo "no window appeared" >&2
  return 1
}
