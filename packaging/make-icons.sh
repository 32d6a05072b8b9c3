#!/usr/bin/env bash
# Draws Glimmer's icon as PNGs, the same picture as glimmer.svg, with
# ImageMagick's drawing primitives (its own SVG reader renders gradients
# poorly). The PNGs are kept in the repository; run this after changing the
# picture.   usage: packaging/make-icons.sh
set -euo pipefail
cd "$(dirname "$0")"
mkdir -p icons
convert -size 256x256 xc:none \
    -fill '#005858' -draw 'rectangle 104,206 152,228' \
    -fill '#006a6a' -draw 'roundrectangle 72,224 184,240 8,8' \
    -fill '#008080' -draw 'roundrectangle 12,20 244,212 20,20' \
    -fill none -stroke '#00ffff' -strokewidth 4 -draw 'roundrectangle 16,24 240,208 17,17' \
    -stroke none \
    \( -size 192x84 gradient:'#301060-#c04870' \) -geometry +32+40 -composite \
    \( -size 192x68 gradient:'#c04870-#ff8c00' \) -geometry +32+124 -composite \
    -fill '#ffe060' -draw 'circle 128,150 128,116' \
    -fill '#1f6b2a' -draw "path 'M32,192 L32,160 Q72,130 112,158 Q150,184 190,150 Q208,138 224,146 L224,192 Z'" \
    -fill '#2f8a3a' -draw "path 'M32,192 L32,176 Q90,160 150,180 Q190,192 224,174 L224,192 Z'" \
    -fill '#ffffff' -draw "path 'M188,46 L195,74 L222,80 L195,86 L188,114 L181,86 L154,80 L181,74 Z'" \
    -depth 8 -define png:exclude-chunks=date,time icons/glimmer-256.png
for s in 16 24 32 48 64 128; do
    convert icons/glimmer-256.png -filter Lanczos -resize ${s}x${s} -depth 8 -define png:exclude-chunks=date,time icons/glimmer-$s.png
done
