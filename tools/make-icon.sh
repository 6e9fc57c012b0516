#!/usr/bin/env bash
# Draws the application icon (a sun over two waves in a rounded blue tile) at
# 256 px with ImageMagick and writes a multi-size .ico next to the resource
# script. Run by hand after changing the drawing; the .ico is kept in the
# repository so that the build does not need ImageMagick.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OUT=$ROOT/installer/main/res/app.ico
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# One period of a sine wave from x0 to x1 around baseline y, as polyline points.
wave() {
  awk -v x0="$1" -v x1="$2" -v y="$3" -v a="$4" 'BEGIN {
    for (x = x0; x <= x1; x += 2) printf "%d,%.1f ", x, y - a * sin((x - x0) / (x1 - x0) * 6.283185)
  }'
}

convert -size 256x256 gradient:'#29b6f6-#0d47a1' \
  \( -size 256x256 xc:black -fill white -draw 'roundrectangle 8,8 247,247 52,52' \) \
  -alpha off -compose CopyOpacity -composite -compose over \
  -fill white -stroke none -draw 'circle 128,80 128,52' \
  -fill none -stroke white -strokewidth 18 \
  -draw "stroke-linecap round stroke-linejoin round polyline $(wave 44 212 148 22)" \
  -stroke '#b3e5fc' -strokewidth 14 \
  -draw "stroke-linecap round stroke-linejoin round polyline $(wave 60 196 196 16)" \
  "$WORK/icon-256.png"

files=()
for s in 16 24 32 48 64 128 256; do
  convert "$WORK/icon-256.png" -filter Lanczos -resize "${s}x${s}" -depth 8 "$WORK/icon-$s.png"
  files+=("$WORK/icon-$s.png")
done
convert "${files[@]}" "$OUT"
echo "wrote $OUT"
