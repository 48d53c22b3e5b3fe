#!/bin/sh
# Makes the reference pictures under tests/data/{bmp,jpeg} with
# independent tools (ImageMagick's convert and netpbm). Run once from any
# folder; the outputs are committed. Needs: apt-get install imagemagick netpbm
. "$(dirname "$0")/fixture_tools.sh"
bmp="$here/bmp"; jpeg="$here/jpeg"
mkdir -p "$bmp" "$jpeg"

# ppm NAME W H EXPR: as ppm_text, written as a P6 picture.
ppm() {
  ppm_text "$2" "$3" "$4" | ppmtoppm > "$1"
}

# Sources (odd widths so that rows need padding).
ppm "$bmp/rgb.ppm" 11 5 'print (x*23+y*41)%256, (x*7+y*90)%256, (x*x+y*13)%256'
ppm "$bmp/mono.ppm" 19 5 'v = (int((x+y)/3)%2)*255; print v, v, v'
ppm "$bmp/pal16.ppm" 29 6 'i = (int(x/4)+y)%16; print (i*17)%256, (255-i*16)%256, (i*40)%256'
ppm "$bmp/pal256.ppm" 33 7 'i = (int(x/3)+y*11)%200; print i, (i*7)%256, (i*13)%256'
# Palettised files by netpbm, uncompressed, in both header kinds.
ppmtobmp -windows -bpp=1 "$bmp/mono.ppm" > "$bmp/win1.bmp"
ppmtobmp -windows -bpp=4 "$bmp/pal16.ppm" > "$bmp/win4.bmp"
ppmtobmp -windows -bpp=8 "$bmp/pal256.ppm" > "$bmp/win8.bmp"
ppmtobmp -os2 -bpp=4 "$bmp/pal16.ppm" > "$bmp/os2_4.bmp"
ppmtobmp -os2 -bpp=24 "$bmp/rgb.ppm" > "$bmp/os2_24.bmp"
ppmtobmp -windows -bpp=24 "$bmp/rgb.ppm" > "$bmp/win24.bmp"
# Run-length encoded (RLE8; no tool here writes RLE4, whose cases the tests
# build byte by byte) and bit-field files by ImageMagick.
convert "$bmp/pal256.ppm" -type Palette -compress RLE BMP3:"$bmp/rle8.bmp"
convert "$bmp/rgb.ppm" -define bmp:subtype=RGB555 BMP:"$bmp/rgb555.bmp"
convert "$bmp/rgb.ppm" -define bmp:subtype=RGB565 BMP:"$bmp/rgb565.bmp"
convert "$bmp/rgb.ppm" -alpha set -define bmp:subtype=ARGB4444 BMP:"$bmp/argb4444.bmp"
# The reduced depths lose bits: their reference is ImageMagick's own reading.
for f in rgb555 rgb565 argb4444; do
  convert "$bmp/$f.bmp" -alpha off -type TrueColor PPM:"$bmp/$f.ppm"
done
convert "$bmp/rgb.ppm" -alpha set BMP:"$bmp/v5_32.bmp"

# JPEG: a smooth picture, baseline, progressive, grey and CMYK, each with the
# decoded reference pixels.
ppm "$tmp/smooth.ppm" 24 16 'print int(x*255/23), int(y*255/15), int((x+y)*255/38)'
convert "$tmp/smooth.ppm" -quality 90 -sampling-factor 2x2 "$jpeg/baseline.jpg"
convert "$tmp/smooth.ppm" -quality 90 -interlace Plane "$jpeg/progressive.jpg"
convert "$tmp/smooth.ppm" -colorspace Gray -quality 90 "$jpeg/grey.jpg"
convert "$tmp/smooth.ppm" -colorspace CMYK -quality 95 "$jpeg/cmyk.jpg"
for f in baseline progressive grey cmyk; do
  convert "$jpeg/$f.jpg" -colorspace sRGB -type TrueColor PPM:"$jpeg/$f.ppm"
done

# Icons: a 16x16 picture with a transparent corner.
ppm "$tmp/icon.ppm" 16 16 'print x*16, y*16, 128'
ppm "$tmp/iconmask.ppm" 16 16 'v = (x < 4 && y < 4) ? 0 : 255; print v, v, v'
ppmtopgm "$tmp/iconmask.ppm" > "$tmp/iconmask.pgm"
ppmtowinicon -andpgms "$tmp/icon.ppm" "$tmp/iconmask.pgm" > "$bmp/icon16.ico"
cp "$tmp/icon.ppm" "$bmp/icon16.ppm"
