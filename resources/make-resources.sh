#!/usr/bin/env bash
# Makes the pictures held with the windows: the banner, the three button
# glyphs, the tray and desktop icons. They are committed; run this only to make
# them again (needs ImageMagick and the fonts-wqy-zenhei font).
set -euo pipefail
cd "$(dirname "$0")"
IM=/usr/bin/convert; [ -x "$IM" ] || IM=convert   # the real ImageMagick, not a stand-in earlier in PATH
font=/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc

# Banner: a baseline JPEG 415 x 60, a calm blue gradient with the name.
"$IM" -size 415x60 gradient:'#1d4f91'-'#5fa8e0' \
  \( -size 415x60 xc:none -fill 'rgba(255,255,255,0.12)' -draw 'circle 360,30 360,-20' \) -composite \
  -font "$font" -pointsize 30 -fill white -gravity west -annotate +18+0 'kwpshot' \
  -pointsize 13 -fill '#e6f0fb' -gravity east -annotate +16+0 '截图 · JPEG' \
  -strip -interlace none -quality 90 -sampling-factor 2x2 banner.jpg

# Save glyph: a green tick on a light face, 20 x 22, 24-bit BMP.
"$IM" -size 20x22 xc:'#f0f0f0' -fill none -stroke '#1e9e3a' -strokewidth 3 \
  -draw 'polyline 3,12 8,17 17,5' -type TrueColor -strip BMP3:glyph_save.bmp

# Exit glyph: a brown door with a red arrow leaving it, 22 x 22, 24-bit BMP.
"$IM" -size 22x22 xc:'#f0f0f0' \
  -fill '#8a5a2b' -stroke '#5b3a1a' -strokewidth 1 -draw 'rectangle 3,2 12,20' \
  -fill '#f2c14e' -stroke none -draw 'circle 10,11 10,12' \
  -stroke '#d62828' -strokewidth 2 -draw 'line 11,11 19,11' \
  -fill '#d62828' -stroke none -draw 'polygon 21,11 16,7 16,15' \
  -type TrueColor -strip BMP3:glyph_exit.bmp

# Capture glyph: a pointing hand, 20 x 22, 32-bit BMP.
"$IM" -size 20x22 xc:'#f0f0f0' -fill '#f6d2a8' -stroke '#7a4a22' -strokewidth 1 \
  -draw 'roundrectangle 4,9 15,20 3,3' \
  -draw 'roundrectangle 7,1 10,12 1,1' \
  -stroke '#7a4a22' -draw 'line 10,13 14,13' -draw 'line 10,16 14,16' \
  -alpha set -define bmp3:alpha=true -strip BMP3:glyph_capture.bmp

# Icon: a blue frame with a corner mark (a selection), drawn at 256 and scaled.
"$IM" -size 256x256 xc:none \
  -fill '#1d4f91' -draw 'roundrectangle 8,8 247,247 40,40' \
  -fill none -stroke white -strokewidth 14 \
  -draw 'polyline 60,110 60,60 110,60' -draw 'polyline 196,146 196,196 146,196' \
  -fill '#5fa8e0' -stroke none -draw 'rectangle 92,92 164,164' \
  PNG32:icon-256.png
for s in 16 32 48 64 128; do "$IM" icon-256.png -resize ${s}x${s} PNG32:icon-$s.png; done
"$IM" icon-16.png icon-32.png kwpshot.ico
