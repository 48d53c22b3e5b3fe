#!/bin/sh
# Makes the Photoshop fixtures with ImageMagick and its own decodes of the
# merged image as references; cases.csv lists them (tolerance is the largest
# difference per sample allowed against the reference).
set -e
cd "$(dirname "$0")"
IM=/usr/bin/convert
$IM -seed 7 -size 13x7 plasma: -depth 8 src.ppm

$IM src.ppm -compress RLE rgb_rle.psd
$IM src.ppm -compress None rgb_raw.psd
$IM src.ppm -colorspace Gray -compress RLE grey_rle.psd
$IM src.ppm -colorspace Gray -compress None grey_raw.psd
$IM src.ppm -colors 16 -type Palette -compress RLE pal_rle.psd
$IM src.ppm -alpha set -channel A -fx 'i/w' +channel -compress RLE rgba_rle.psd
$IM src.ppm -depth 16 -compress None rgb16_raw.psd
$IM src.ppm -colorspace CMYK -compress RLE cmyk_rle.psd

# ImageMagick does not read its own indexed files back: the reference is the
# quantised picture it wrote.
$IM src.ppm -colors 16 -type Palette -depth 8 ppm:pal_rle.ppm
for f in rgb_rle rgb_raw grey_rle grey_raw rgb16_raw; do
  $IM "$f.psd[0]" -depth 8 ppm:$f.ppm
done
$IM "cmyk_rle.psd[0]" -colorspace sRGB -depth 8 ppm:cmyk_rle.ppm
# Its decode of a file with alpha is not the picture it wrote either: the
# reference is the picture given to it.
$IM src.ppm -alpha set -channel A -fx 'i/w' +channel -depth 8 pam:rgba_rle.pam

cat > cases.csv <<CSV
file,width,height,reference,tolerance
rgb_rle.psd,13,7,rgb_rle.ppm,0
rgb_raw.psd,13,7,rgb_raw.ppm,0
grey_rle.psd,13,7,grey_rle.ppm,0
grey_raw.psd,13,7,grey_raw.ppm,0
pal_rle.psd,13,7,pal_rle.ppm,1
rgba_rle.psd,13,7,rgba_rle.pam,1
rgb16_raw.psd,13,7,rgb16_raw.ppm,1
cmyk_rle.psd,13,7,cmyk_rle.ppm,2
CSV
