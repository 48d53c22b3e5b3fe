#!/bin/sh
# Makes the PCX fixtures with netpbm's ppmtopcx and ImageMagick, and the
# reference decodes with netpbm's pcxtoppm; cases.csv lists them.
set -e
cd "$(dirname "$0")"
IM=/usr/bin/convert
$IM -seed 7 -size 13x7 plasma: -depth 8 src.ppm
pnmquant 16 src.ppm > src16.ppm 2>/dev/null
pnmquant 4 src.ppm > src4.ppm 2>/dev/null
pnmquant 2 src.ppm > src2.ppm 2>/dev/null
pnmquant 200 src.ppm > src200.ppm 2>/dev/null
ppmtopgm src.ppm | pgmtopbm -threshold > src.pbm

ppmtopcx -24bit src.ppm > rgb24.pcx 2>/dev/null
ppmtopcx -8bit src200.ppm > pal8.pcx 2>/dev/null
ppmtopcx src16.ppm > pal16_planes.pcx 2>/dev/null
ppmtopcx -packed src16.ppm > pal16_packed.pcx 2>/dev/null
ppmtopcx -packed src4.ppm > pal4_packed.pcx 2>/dev/null
ppmtopcx src.pbm > mono.pcx 2>/dev/null
ppmtopcx src2.ppm > two_colour.pcx 2>/dev/null
$IM src.ppm im_rgb24.pcx

for f in rgb24 pal8 pal16_planes pal16_packed pal4_packed mono two_colour im_rgb24; do
  pcxtoppm $f.pcx > $f.ppm 2>/dev/null
done
rm -f src16.ppm src4.ppm src2.ppm src200.ppm src.pbm

cat > cases.csv <<CSV
file,width,height,reference
rgb24.pcx,13,7,rgb24.ppm
pal8.pcx,13,7,pal8.ppm
pal16_planes.pcx,13,7,pal16_planes.ppm
pal16_packed.pcx,13,7,pal16_packed.ppm
pal4_packed.pcx,13,7,pal4_packed.ppm
mono.pcx,13,7,mono.ppm
two_colour.pcx,13,7,two_colour.ppm
im_rgb24.pcx,13,7,im_rgb24.ppm
CSV
