#!/usr/bin/env bash
# Renders data/vorlane.svg into the PNG sizes the icon theme and the window
# icon use: data/icons/vorlane-<size>.png. The PNGs are committed, so a build
# needs no SVG converter; run this again after changing the SVG.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
svg="$here/data/vorlane.svg"
out="$here/data/icons"

command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing (apt-get install librsvg2-bin)" >&2; exit 1; }
mkdir -p "$out"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio "$svg" --output "$out/vorlane-$size.png"
done
echo "Rendered $(ls "$out"/vorlane-*.png | wc -l) icons into $out"
