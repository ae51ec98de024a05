#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the pictures in res/ from their SVG drawings in res/src (ImageMagick,
# which hands SVG to rsvg-convert: Debian's imagemagick and librsvg2-bin).
# The PNGs are kept in the repository, so building needs no SVG support.
set -euo pipefail
cd "$(dirname "$0")/../res"
render() {  # svg, png, size
    convert -background none -density 96 "src/$1" -resize "$3x$3" -depth 8 -strip "$2"
}
# The application icon is drawn on a 48 px grid; the desktop's larger sizes
# are rasterised at their own scale, not enlarged from 48 px.
render_large() {  # png, size
    rsvg-convert -w "$2" -h "$2" src/tevra.svg | convert - -depth 8 -strip "$1"
}
render tevra.svg icons/tevra.png 48
render tevra.svg icons/tevra-32.png 32
render tevra.svg icons/tevra-16.png 16
for size in 64 128 256; do
    render_large "icons/tevra-$size.png" "$size"
done
# The Windows programs' icon (res/*.rc): the three sizes in one file.
convert icons/tevra-16.png icons/tevra-32.png icons/tevra.png icons/tevra.ico
render warning.svg icons/warning.png 32
render check.svg icons/check.png 16
render cross.svg icons/cross.png 16
convert -density 96 src/splash.svg -depth 8 -strip -alpha off pictures/splash.png
