#!/usr/bin/env bash
# Draws the program's pictures with ImageMagick. The PNGs are committed; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")/icons"

# Start: a green disc with a white triangle pointing right.
convert -size 128x128 xc:none \
    -fill '#2e9d3e' -stroke '#1d6b29' -strokewidth 6 -draw 'circle 64,64 64,6' \
    -fill white -stroke none -draw 'polygon 48,34 98,64 48,94' \
    -resize 32x32 -strip start.png

# Stop: a red disc with a white square.
convert -size 128x128 xc:none \
    -fill '#c8352b' -stroke '#8e221b' -strokewidth 6 -draw 'circle 64,64 64,6' \
    -fill white -stroke none -draw 'roundrectangle 40,40 88,88 6,6' \
    -resize 32x32 -strip stop.png

# The application: a key cap with a V and a text cursor beside it.
convert -size 256x256 xc:none \
    -fill '#3b4f7a' -stroke none -draw 'roundrectangle 16,24 240,240 36,36' \
    -fill '#e8edf7' -draw 'roundrectangle 28,16 228,212 30,30' \
    -fill '#3b4f7a' -draw 'polygon 56,52 88,52 118,150 148,52 180,52 132,184 104,184' \
    -fill '#e07a1f' -draw 'rectangle 190,56 204,184' \
    -strip velmora-256.png
for size in 16 32 48 64 128; do
    convert velmora-256.png -resize "${size}x${size}" -strip "velmora-${size}.png"
done
