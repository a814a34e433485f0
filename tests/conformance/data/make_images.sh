#!/usr/bin/env bash
# Writes the conformance scenes' image fixtures into this folder (ImageMagick 6).
set -euo pipefail
cd "$(dirname "$0")"
convert -size 32x32 xc:white \( -size 16x16 pattern:checkerboard -scale 200% \) -compose over \
  -composite -fill '#C03020' -draw 'rectangle 0,0 15,7' -fill '#2060D0' \
  -draw 'rectangle 16,24 31,31' -fill '#30B040' -draw 'circle 16,16 16,10' -type TrueColor \
  -depth 8 base.miff
convert base.miff -depth 8 -define png:color-type=2 tex.png
convert base.miff -resize 24x20\! -depth 8 -define png:color-type=2 tex_npot.png
convert base.miff -type TrueColor BMP3:tex.bmp
convert base.miff -type TrueColor tex.tga
convert base.miff -define dds:compression=dxt1 -define dds:mipmaps=0 tex.dds
convert base.miff -quality 90 -sampling-factor 1x1 tex.jpg
convert -size 64x64 gradient:'#FF8040-#4080FF' \
  \( -size 64x64 gradient:white-'#303030' -rotate 90 \) -alpha off -compose CopyOpacity \
  -composite -depth 8 -define png:color-type=6 filter.png
rm base.miff
