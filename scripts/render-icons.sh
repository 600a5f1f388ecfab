#!/usr/bin/env bash
# Renders the application icon app/desktop/bindwick.svg into the PNG sizes
# kept beside it (app/desktop/icons/NxN.png), which are checked in so that
# building needs no SVG renderer. Run it after changing the SVG.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/ensure-packages.sh" icons
desktop="$root/app/desktop"
mkdir -p "$desktop/icons"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" -o "$desktop/icons/${size}x${size}.png" \
    "$desktop/bindwick.svg"
done
ls -l "$desktop/icons"
