#!/bin/sh
# Draws the window pictures of shell/resources with ImageMagick. The PNG files are committed;
# run this only to change them.
set -eu
cd "$(dirname "$0")/../shell/resources"
DEEP='#0b3d6b'
SEA='#1f8a9e'
GOLD='#f2c14e'
BOLD_FONT=DejaVu-Sans-Bold
FONT=DejaVu-Sans

# Program icon: a deep-blue tile with a white V and a gold wing stroke.
convert -size 64x64 xc:none \
  -fill "$DEEP" -draw "roundrectangle 1,1 62,62 12,12" \
  -fill "$SEA" -draw "path 'M 1,40 C 20,30 44,30 62,36 L 62,50 C 62,57 57,62 50,62 L 13,62 C 6,62 1,57 1,50 Z'" \
  -fill white -stroke none -draw "polygon 14,14 24,14 32,40 40,14 50,14 36,52 28,52" \
  -fill "$GOLD" -draw "path 'M 8,30 C 20,18 40,16 58,22 C 42,24 26,28 8,30 Z'" \
  vantrel.png

# Maker's logo strip: mark, name and a short line, on the banner's white. Only the left part
# is inside the window; the rest stays blank.
convert -size 615x40 xc:white \
  -fill "$DEEP" -draw "circle 21,20 21,3" \
  -fill "$SEA" -draw "path 'M 5,25 C 14,21 28,21 37,23 C 35,31 29,37 21,37 C 13,37 7,32 5,25 Z'" \
  -fill "$GOLD" -draw "path 'M 10,25 C 16,11 26,10 34,14 C 26,16 18,20 10,25 Z'" \
  -font "$BOLD_FONT" -pointsize 20 -fill "$DEEP" -annotate +46+28 'Halcyra' \
  -font "$FONT" -pointsize 11 -fill '#4a5a6a' -annotate +150+27 'Network administration tools  |  halcyra.example' \
  -fill "$SEA" -draw "rectangle 46,33 140,34" \
  logo.png

# Small client buttons: a green plus and a red cross.
convert -size 11x11 xc:none -fill '#1a8f2e' -draw "rectangle 4,0 6,10" -draw "rectangle 0,4 10,6" add-client.png
convert -size 11x11 xc:none -stroke '#c0282d' -strokewidth 2.2 -draw "line 1,1 9,9" -draw "line 9,1 1,9" \
  delete-client.png

# Progress picture: two gears' worth of teeth around a hub, in the program's blue.
convert -size 32x32 xc:none \
  -fill "$DEEP" -draw "circle 16,16 16,5" \
  -draw "rectangle 14,1 18,31" -draw "rectangle 1,14 31,18" \
  -draw "polygon 5,8 8,5 27,24 24,27" -draw "polygon 24,5 27,8 8,27 5,24" \
  -fill white -draw "circle 16,16 16,11" \
  -fill "$GOLD" -draw "circle 16,16 16,13" \
  progress.png

# Pointer over the logo: an arrow with a small globe.
convert -size 32x32 xc:none \
  -fill black -stroke white -strokewidth 1 -draw "polygon 1,1 1,17 5,13 8,20 11,19 8,12 13,12" \
  -fill "$SEA" -stroke "$DEEP" -draw "circle 21,21 21,15" \
  -stroke white -fill none -draw "line 15,21 27,21" -draw "ellipse 21,21 3,6 0,360" \
  link-cursor.png
