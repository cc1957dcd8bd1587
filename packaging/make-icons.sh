#!/usr/bin/env bash
# Draws the application icon (the same shapes as vantrel.svg) into icons/<N>.png for the hicolor sizes.
# ImageMagick here has no SVG reader, so the shapes are drawn directly; keep both in step.
set -euo pipefail
cd "$(dirname "$0")"
mkdir -p icons
convert -size 256x256 xc:none \
  -fill '#1f5fa8' -draw 'roundrectangle 8,8 247,247 36,36' \
  -fill '#ffffff' -draw 'polygon 64,36 160,36 200,76 200,220 64,220' \
  -fill '#c9d6e8' -draw 'polygon 160,36 160,76 200,76' \
  -fill '#7d8fa8' -draw 'rectangle 84,92 179,101' -draw 'rectangle 84,116 179,125' \
  -draw 'rectangle 84,140 147,149' -draw 'rectangle 84,164 123,173' \
  -fill none -stroke '#d2242a' -strokewidth 8 -draw 'circle 166,180 196,180' \
  -stroke none -fill '#d2242a' \
  -draw 'polygon 166,160 172,174 187,174 175,183 180,198 166,189 152,198 157,183 145,174 160,174' \
  -depth 8 -strip icons/256.png
for n in 16 24 32 48 64 128; do
  convert icons/256.png -resize "${n}x${n}" -depth 8 -strip "icons/$n.png"
done
