#!/usr/bin/env bash
# Renders the committed PNG icons (window and menu icon) from tarnwick.svg.
# Needs ImageMagick with SVG reading (Debian: imagemagick and
# libmagickcore-6.q16-6-extra); run it after changing the drawing and commit
# the result.
set -euo pipefail
cd "$(dirname "$0")"
for size in 48 128 256; do
  convert -background none -density 96 tarnwick.svg -resize "${size}x${size}" \
    -depth 8 -strip "tarnwick-$size.png"
done
