#!/usr/bin/env bash
# Draws the program icon and the 16x16 toolbar and menu pictures with ImageMagick.
# Magenta (#FF00FF) is the transparent colour of the picture strips.
set -euo pipefail
cd "$(dirname "$0")"
key='#FF00FF'
tile() { convert -size 16x16 "xc:$key" +antialias "$@"; }

tile -fill '#C8961E' -stroke '#6B4E0E' -draw 'rectangle 1,3 6,5' -draw 'rectangle 1,4 13,13' \
     -fill '#F6D470' -draw 'polygon 3,7 15,7 13,13 1,13' open.png
tile -fill '#2A4B8D' -stroke '#142850' -draw 'rectangle 1,1 14,14' \
     -fill '#FFFFFF' -stroke '#B0B8C8' -draw 'rectangle 3,2 12,7' \
     -fill '#A0A8B8' -stroke '#606878' -draw 'rectangle 4,10 11,14' \
     -fill '#2A4B8D' -stroke none -draw 'rectangle 8,11 9,13' save.png
tile -fill '#FFFFFF' -stroke '#707070' -draw 'rectangle 1,0 10,14' \
     -stroke '#8090B0' -draw 'line 3,3 8,3' -draw 'line 3,5 8,5' -draw 'line 3,7 6,7' \
     -fill '#D8ECFF' -stroke '#204080' -draw 'circle 9,9 12,9' \
     -stroke '#503010' -draw 'line 12,12 15,15' -draw 'line 11,12 14,15' preview.png
tile -fill '#D02020' -stroke '#701010' -draw 'polygon 5,1 10,1 14,5 14,10 10,14 5,14 1,10 1,5' \
     -fill '#FFFFFF' -stroke none -draw 'rectangle 4,7 11,8' stop.png
tile -stroke '#404040' -draw 'line 1,3 14,3' -draw 'line 1,8 14,8' -draw 'line 1,13 14,13' \
     -fill '#3070D0' -stroke '#103060' -draw 'rectangle 3,1 6,5' -draw 'rectangle 9,6 12,10' \
     -draw 'rectangle 5,11 8,15' settings.png
tile -fill '#2F6FD0' -stroke '#123A80' -draw 'circle 7.5,7.5 7.5,0.5' \
     -stroke '#FFFFFF' -fill none -draw 'line 5,5 6,3' -draw 'line 6,3 9,3' -draw 'line 9,3 10,5' \
     -draw 'line 10,5 10,6' -draw 'line 10,6 8,8' -draw 'line 8,8 8,9' -draw 'point 8,11' -draw 'point 7,11' \
     -draw 'point 7,9' help.png
tile -fill '#FFFFFF' -stroke '#707070' -draw 'rectangle 4,1 11,6' \
     -fill '#B8B8B8' -stroke '#505050' -draw 'rectangle 1,6 14,11' \
     -fill '#FFFFFF' -stroke '#707070' -draw 'rectangle 4,10 11,14' \
     -stroke '#9090A0' -draw 'line 5,12 10,12' -fill '#30C030' -stroke none -draw 'point 12,8' print.png
tile -stroke '#C01818' -strokewidth 1 -draw 'line 2,2 13,13' -draw 'line 3,2 13,12' -draw 'line 2,3 12,13' \
     -draw 'line 13,2 2,13' -draw 'line 12,2 2,12' -draw 'line 13,3 3,13' close.png

convert open.png save.png preview.png stop.png settings.png help.png +append -type TrueColor BMP3:main_pictures.bmp
convert save.png print.png close.png +append -type TrueColor BMP3:preview_pictures.bmp

icon() {
  local s=$1 out=$2
  convert -size 32x32 xc:none +antialias \
    -fill '#C8961E' -stroke '#6B4E0E' -draw 'rectangle 1,6 12,10' -draw 'rectangle 1,8 30,29' \
    -fill '#FFFFFF' -stroke '#606060' -draw 'rectangle 7,3 25,24' \
    -stroke '#3060B0' -strokewidth 2 -draw 'line 10,8 22,8' -draw 'line 10,13 22,13' -draw 'line 10,18 19,18' \
    -strokewidth 1 -fill '#F6D470' -stroke '#6B4E0E' -draw 'polygon 4,15 31,15 29,29 1,29' \
    -resize "${s}x${s}" "$out"
}
icon 32 icon32.png
icon 16 icon16.png
convert icon16.png icon32.png tessory.ico
rm -f open.png save.png preview.png stop.png settings.png help.png print.png close.png icon16.png icon32.png
