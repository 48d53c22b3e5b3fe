#!/bin/sh
# Makes the portable map fixtures (text and binary, several maximum values)
# with netpbm and ImageMagick, and the reference decodes with ImageMagick;
# cases.csv lists them.
set -e
cd "$(dirname "$0")"
IM=/usr/bin/convert
$IM -seed 7 -size 13x7 plasma: -depth 8 raw_rgb.ppm
ppmtopgm raw_rgb.ppm > raw_grey.pgm
pgmtopbm -threshold raw_grey.pgm > raw_mono.pbm
pnmtoplainpnm raw_rgb.ppm > plain_rgb.ppm
pnmtoplainpnm raw_grey.pgm > plain_grey.pgm
pnmtoplainpnm raw_mono.pbm > plain_mono.pbm
pamdepth 15 raw_grey.pgm > raw_grey15.pgm
pamdepth 65535 raw_rgb.ppm > raw_rgb16.ppm
pamdepth 1000 raw_rgb.ppm | pnmtoplainpnm > plain_rgb1000.ppm

for f in raw_rgb.ppm raw_grey.pgm raw_mono.pbm plain_rgb.ppm plain_grey.pgm plain_mono.pbm \
         raw_grey15.pgm raw_rgb16.ppm plain_rgb1000.ppm; do
  $IM $f -depth 8 ppm:ref_${f%.*}.ppm
done

cat > cases.csv <<CSV
file,width,height,reference,tolerance
raw_rgb.ppm,13,7,ref_raw_rgb.ppm
raw_grey.pgm,13,7,ref_raw_grey.ppm
raw_mono.pbm,13,7,ref_raw_mono.ppm
plain_rgb.ppm,13,7,ref_plain_rgb.ppm
plain_grey.pgm,13,7,ref_plain_grey.ppm
plain_mono.pbm,13,7,ref_plain_mono.ppm
raw_grey15.pgm,13,7,ref_raw_grey15.ppm
raw_rgb16.ppm,13,7,ref_raw_rgb16.ppm
plain_rgb1000.ppm,13,7,ref_plain_rgb1000.ppm,1
CSV
