#!/bin/sh
# Renders the application icon's PNG sizes from the SVG. Run it again after editing the SVG.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
svg="$here/org.tolmar.Tolmar.svg"
out="$here/png"

if ! command -v rsvg-convert >/dev/null 2>&1; then
    echo "render-pngs.sh: rsvg-convert not found (install librsvg2-bin)" >&2
    exit 1
fi

mkdir -p "$out"
for size in 16 22 24 32 48 64 128 256; do
    png="$out/org.tolmar.Tolmar-$size.png"
    rsvg-convert --width="$size" --height="$size" --format=png --output="$png" "$svg"
    echo "wrote $png (${size}x$size)"
done
