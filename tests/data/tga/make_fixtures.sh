#!/bin/sh
# Makes the Targa fixtures and their references with independent tools
# (ImageMagick and netpbm). Each fixture has a reference decode made by
# netpbm's tgatoppm (<name>.ppm, or <name>.pam where alpha matters), which
# follows the orientation bit of the header; cases.csv lists them.
set -e
cd "$(dirname "$0")"
IM=/usr/bin/convert
$IM -seed 7 -size 13x7 plasma: -depth 8 src.ppm
pnmquant 16 src.ppm > src16.ppm 2>/dev/null
ppmtopgm src.ppm > src.pgm

$IM src.ppm -compress None rgb24_raw.tga
$IM src.ppm -compress RLE rgb24_rle.tga
pamtotga -cmap -norle src16.ppm > cmap8_raw.tga
pamtotga -cmap src16.ppm > cmap8_rle.tga
pamtotga -mono -norle src.pgm > grey8_raw.tga
pamtotga -mono src.pgm > grey8_rle.tga
$IM src.ppm -alpha set -channel A -fx 'i/w' +channel -compress RLE rgba32_rle.tga

for f in rgb24_raw rgb24_rle cmap8_raw cmap8_rle grey8_raw grey8_rle; do
  tgatoppm $f.tga > $f.ppm
done
tgatoppm -alphaout=alpha.pgm rgba32_rle.tga > rgba.ppm
pamstack rgba.ppm alpha.pgm > rgba32_rle.pam 2>/dev/null
rm -f src16.ppm src.pgm rgba.ppm alpha.pgm

cat > cases.csv <<CSV
file,width,height,reference
rgb24_raw.tga,13,7,rgb24_raw.ppm
rgb24_rle.tga,13,7,rgb24_rle.ppm
cmap8_raw.tga,13,7,cmap8_raw.ppm
cmap8_rle.tga,13,7,cmap8_rle.ppm
grey8_raw.tga,13,7,grey8_raw.ppm
grey8_rle.tga,13,7,grey8_rle.ppm
rgba32_rle.tga,13,7,rgba32_rle.pam
CSV
