#!/usr/bin/env bash
# Regenerates the default progress window's images (24-bit BMP files with 40-byte headers).
set -euo pipefail
cd "$(dirname "$0")"
face='#F0F0F0'
# Banner: a blue band, stretched to the banner label's size by the window.
convert -size 220x28 gradient:'#1F4E79'-'#3A86C8' -rotate -90 -resize 220x28! BMP3:banner.bmp
# Status mark: a green tick on the button face.
convert -size 16x16 xc:"$face" -stroke '#2E8B3A' -strokewidth 2.5 -fill none \
  -draw 'polyline 3,8 7,12 13,4' BMP3:tick.bmp
# Close button strip: normal, pressed, disabled, hot, focused; 88 x 26 each.
frame() { # colour border
  convert -size 88x26 xc:"$face" -fill "$1" -stroke "$2" -strokewidth 1 \
    -draw 'roundrectangle 0,0 87,25 5,5' "$3"
}
tmp=$(mktemp -d)
frame '#2E75B6' '#1F4E79' "$tmp/0.png"
frame '#1F4E79' '#123052' "$tmp/1.png"
frame '#B8B8B8' '#A0A0A0' "$tmp/2.png"
frame '#4A90D9' '#2E75B6' "$tmp/3.png"
convert -size 88x26 xc:"$face" -fill '#2E75B6' -stroke '#F5B700' -strokewidth 2 \
  -draw 'roundrectangle 1,1 86,24 5,5' "$tmp/4.png"
convert "$tmp"/0.png "$tmp"/1.png "$tmp"/2.png "$tmp"/3.png "$tmp"/4.png +append -type TrueColor BMP3:close-strip.bmp
rm -rf "$tmp"
