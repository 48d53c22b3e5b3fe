#!/bin/sh
# Makes the SGI fixtures with netpbm's pnmtosgi and ImageMagick, and the
# reference decodes with ImageMagick; cases.csv lists them.
set -e
cd "$(dirname "$0")"
IM=/usr/bin/convert
$IM -seed 7 -size 13x7 plasma: -depth 8 src.ppm
ppmtopgm src.ppm > src.pgm

pnmtosgi -rle src.ppm > rgb_rle.sgi 2>/dev/null
pnmtosgi -verbatim src.ppm > rgb_raw.sgi 2>/dev/null
pnmtosgi -rle src.pgm > grey_rle.sgi 2>/dev/null
pnmtosgi -verbatim src.pgm > grey_raw.sgi 2>/dev/null
$IM src.ppm -alpha set -channel A -fx 'j/h' +channel -compress RLE rgba_rle.sgi
$IM src.ppm -depth 16 -compress None rgb16_raw.sgi

for f in rgb_rle rgb_raw grey_rle grey_raw rgb16_raw; do
  $IM $f.sgi -depth 8 ppm:$f.ppm
done
$IM rgba_rle.sgi -depth 8 pam:rgba_rle.pam
rm -f src.pgm

cat > cases.csv <<CSV
file,width,height,reference
rgb_rle.sgi,13,7,rgb_rle.ppm
rgb_raw.sgi,13,7,rgb_raw.ppm
grey_rle.sgi,13,7,grey_rle.ppm
grey_raw.sgi,13,7,grey_raw.ppm
rgba_rle.sgi,13,7,rgba_rle.pam
rgb16_raw.sgi,13,7,rgb16_raw.ppm
CSV
