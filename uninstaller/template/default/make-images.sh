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
