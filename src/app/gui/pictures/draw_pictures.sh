#!/bin/sh
# Draws the window pictures with ImageMagick and writes them as baseline JPEGs
# beside this script. The JPEGs are committed; run this only to redraw them.
#   connect.jpg  329x267  confirmation window: the programmer on the module's ICSP header
#   banner.jpg   536x128  main window, behind the version labels
#   chip.jpg     134x244  main window, the 28-pin chip being updated
set -e
cd "$(dirname "$0")"
FONT=DejaVu-Sans
BOLD=DejaVu-Sans-Bold

# The module: a green board with the chip, a crystal, passives and the six-pin
# header; the programmer box above it, its ribbon cable on the header and its
# USB cable leaving to the left.
convert -size 329x267 gradient:'#f4f6f8-#d9dee4' \
  -stroke none \
  -fill '#1f6f3a' -draw 'roundrectangle 18,128 311,252 10,10' \
  -fill '#2e8b4c' -draw 'roundrectangle 24,134 305,246 8,8' \
  -fill '#c8a84a' -draw 'circle 36,146 40,146' -draw 'circle 293,146 297,146' \
  -draw 'circle 36,234 40,234' -draw 'circle 293,234 297,234' \
  -stroke '#b89a3c' -strokewidth 2 -fill none \
  -draw 'polyline 150,162 150,176 120,176 120,196' \
  -draw 'polyline 162,162 162,182 200,182 200,196' \
  -draw 'polyline 174,162 174,170 250,170 250,214' \
  -draw 'line 60,232 280,232' -draw 'line 60,226 60,232' -draw 'line 280,226 280,232' \
  -stroke none \
  -fill '#1b1b1d' -draw 'rectangle 80,196 236,226' \
  -fill '#3a3a3e' -draw 'circle 88,211 91,211' \
  -fill '#c9c9cf' \
  -draw 'rectangle 84,190 88,196' -draw 'rectangle 95,190 99,196' -draw 'rectangle 106,190 110,196' \
  -draw 'rectangle 117,190 121,196' -draw 'rectangle 128,190 132,196' -draw 'rectangle 139,190 143,196' \
  -draw 'rectangle 150,190 154,196' -draw 'rectangle 161,190 165,196' -draw 'rectangle 172,190 176,196' \
  -draw 'rectangle 183,190 187,196' -draw 'rectangle 194,190 198,196' -draw 'rectangle 205,190 209,196' \
  -draw 'rectangle 216,190 220,196' -draw 'rectangle 227,190 231,196' \
  -draw 'rectangle 84,226 88,232' -draw 'rectangle 95,226 99,232' -draw 'rectangle 106,226 110,232' \
  -draw 'rectangle 117,226 121,232' -draw 'rectangle 128,226 132,232' -draw 'rectangle 139,226 143,232' \
  -draw 'rectangle 150,226 154,232' -draw 'rectangle 161,226 165,232' -draw 'rectangle 172,226 176,232' \
  -draw 'rectangle 183,226 187,232' -draw 'rectangle 194,226 198,232' -draw 'rectangle 205,226 209,232' \
  -draw 'rectangle 216,226 220,232' -draw 'rectangle 227,226 231,232' \
  -fill '#e8e8ea' -font $BOLD -pointsize 11 -draw 'text 110,215 "PIC18F2520"' \
  -fill '#b0b4ba' -draw 'roundrectangle 252,196 284,210 6,6' \
  -fill '#7a4b1e' -draw 'rectangle 40,188 58,196' -draw 'rectangle 40,204 58,212' \
  -fill '#d6c35a' -draw 'rectangle 44,188 47,196' -draw 'rectangle 51,204 54,212' \
  -fill '#254b8c' -draw 'circle 270,232 277,232' \
  -fill '#111111' -draw 'rectangle 128,146 196,162' \
  -fill '#e0b84a' \
  -draw 'rectangle 133,150 139,158' -draw 'rectangle 144,150 150,158' -draw 'rectangle 155,150 161,158' \
  -draw 'rectangle 166,150 172,158' -draw 'rectangle 177,150 183,158' -draw 'rectangle 188,150 194,158' \
  -fill '#fefefe' -font $FONT -pointsize 9 -draw 'text 136,174 "ICSP"' \
  -fill '#9aa0a8' -draw 'polygon 136,86 188,86 194,146 130,146' \
  -stroke '#80868e' -strokewidth 1 \
  -draw 'line 140,86 135,146' -draw 'line 150,86 147,146' -draw 'line 160,86 159,146' \
  -draw 'line 170,86 171,146' -draw 'line 180,86 183,146' \
  -stroke none -fill '#cf2b2b' -draw 'polygon 136,86 142,86 137,146 130,146' \
  -fill '#2a2d33' -draw 'rectangle 124,136 200,150' \
  -fill '#2456a6' -draw 'roundrectangle 92,14 236,90 9,9' \
  -fill '#2f6cc8' -draw 'roundrectangle 96,18 232,86 7,7' \
  -fill '#ffffff' -font $BOLD -pointsize 15 -draw 'text 118,46 "Nimbrella"' \
  -font $FONT -pointsize 10 -draw 'text 122,64 "ICSP  USB"' \
  -fill '#3ee06a' -draw 'circle 220,30 224,30' \
  -fill '#555a62' -draw 'rectangle 70,44 92,58' \
  -stroke '#33363c' -strokewidth 6 -fill none -draw 'bezier 70,51 40,51 30,80 6,90' \
  -stroke none -fill '#1f6f3a' -font $BOLD -pointsize 12 -draw 'text 24,120 "Модуль"' \
  -quality 92 -sampling-factor 2x2 -strip -interlace none connect.jpg

# Behind the labels: a pale blue board with copper traces, kept light so the
# black label text stays readable.
convert -size 536x128 gradient:'#eaf2fb-#c9dcf0' \
  -stroke '#aac4e2' -strokewidth 3 -fill none \
  -draw 'polyline 0,20 120,20 140,40 400,40 420,20 536,20' \
  -draw 'polyline 0,108 90,108 110,88 300,88 320,108 536,108' \
  -draw 'polyline 470,0 470,60 500,90 500,128' \
  -stroke none -fill '#aac4e2' \
  -draw 'circle 140,40 145,40' -draw 'circle 400,40 405,40' -draw 'circle 110,88 115,88' \
  -draw 'circle 300,88 305,88' -draw 'circle 470,60 475,60' \
  -quality 92 -sampling-factor 2x2 -strip -interlace none banner.jpg

# The chip: a 28-pin DIP seen from above on a light board.
pins=""
y=28
while [ $y -le 208 ]; do
  pins="$pins -draw 'rectangle 30,$y 42,$((y + 6))' -draw 'rectangle 92,$y 104,$((y + 6))'"
  y=$((y + 14))
done
eval convert -size 134x244 gradient:"'#f2f4f6-#dfe4ea'" \
  -fill "'#c9c9cf'" $pins \
  -fill "'#1b1b1d'" -draw "'roundrectangle 40,18 94,226 4,4'" \
  -fill "'#3a3a3e'" -draw "'arc 58,12 76,28 0,180'" -draw "'circle 50,34 53,34'" \
  -fill "'#e8e8ea'" -font $BOLD -pointsize 11 \
  -draw "'rotate 90 text 60,-63 \"PIC18F2520\"'" \
  -quality 92 -sampling-factor 2x2 -strip -interlace none chip.jpg
