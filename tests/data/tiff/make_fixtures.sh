#!/bin/sh
# Makes the TIFF conformance set with netpbm and libtiff's tools, and the
# reference decodes (binary PNM made by tifftopnm). Needs: netpbm,
# libtiff-tools, python3. Run from this folder; the outputs are committed.
set -eu
cd "$(dirname "$0")"
rm -f *.tif *.pnm conformance.csv

python3 - <<'PY'
W, H = 21, 11
with open("src_rgb.ppm", "wb") as f:
    f.write(b"P6 %d %d 255\n" % (W, H))
    for y in range(H):
        for x in range(W):
            f.write(bytes(((x * 12 + y * 5) % 256, (y * 23 + x * 2) % 256, (x * y * 7 + 40) % 256)))
with open("src_grey.pgm", "wb") as f:
    f.write(b"P5 %d %d 255\n" % (W, H))
    for y in range(H):
        for x in range(W):
            f.write(bytes(((x * 11 + y * 9) % 256,)))
with open("src_pal.ppm", "wb") as f:
    f.write(b"P6 %d %d 255\n" % (W, H))
    cols = [(255, 0, 0), (0, 128, 0), (0, 0, 255), (200, 200, 50), (10, 10, 10), (240, 240, 240)]
    for y in range(H):
        for x in range(W):
            f.write(bytes(cols[(x // 3 + y) % len(cols)]))
# A bilevel page wide enough for make-up codes: 1800 x 5.
BW, BH = 1800, 5
with open("src_bw.pbm", "wb") as f:
    f.write(b"P4 %d %d\n" % (BW, BH))
    for y in range(BH):
        row = bytearray((BW + 7) // 8)
        for x in range(BW):
            black = (x // (y * 7 + 3)) % 2 == 1 or (y == 2 and 100 <= x < 1790)
            if black:
                row[x // 8] |= 0x80 >> (x % 8)
        f.write(bytes(row))
PY

pnmtotiff -truecolor src_rgb.ppm > base_rgb.tif
pnmtotiff src_grey.pgm > base_grey.tif
pnmtotiff src_pal.ppm > base_pal.tif
pnmtotiff src_bw.pbm > base_bw.tif
pnmtotiff -miniswhite src_bw.pbm > base_bw_white.tif

tiffcp -c none base_rgb.tif rgb_none.tif
tiffcp -c none -B base_rgb.tif rgb_none_be.tif
tiffcp -c none -r 4 base_rgb.tif rgb_strips4.tif
tiffcp -c packbits -r 3 base_rgb.tif rgb_packbits.tif
tiffcp -c zip -r 5 base_rgb.tif rgb_zip.tif
tiffcp -c zip:2 base_rgb.tif rgb_zip_predictor.tif
tiffcp -c zip -p separate base_rgb.tif rgb_zip_planar.tif
tiffcp -c none -p separate -r 4 base_rgb.tif rgb_planar_strips.tif
tiffcp -c lzw base_rgb.tif rgb_lzw.tif
tiffcp -c jpeg:r -r 8 base_rgb.tif rgb_jpeg.tif
tiffcp -c none -t -w 16 -l 16 base_rgb.tif rgb_tiled.tif
tiffcp -c none base_grey.tif grey_none.tif
tiffcp -c packbits -B base_grey.tif grey_packbits_be.tif
tiffcp -c jpeg -r 16 base_grey.tif grey_jpeg.tif
tiffcp -c none base_pal.tif pal_none.tif
tiffcp -c zip base_pal.tif pal_zip.tif
tiffcp -c none base_bw.tif bw_none.tif
tiffcp -c g3 base_bw.tif bw_g3.tif
tiffcp -c g3:fill base_bw.tif bw_g3_fill.tif
tiffcp -c g3 -f lsb2msb base_bw.tif bw_g3_lsb.tif
tiffcp -c g3:2d base_bw.tif bw_g3_2d.tif
tiffcp -c g4 base_bw.tif bw_g4.tif
tiffcp -c g3 base_bw_white.tif bw_white_g3.tif
tiffcp -c jpeg -r 16 base_rgb.tif rgb_jpeg_ycbcr.tif
tiffcp -c packbits base_bw.tif bw_packbits.tif

for f in rgb_none grey_none pal_none bw_none rgb_jpeg grey_jpeg; do
    tifftopnm $f.tif > $f.pnm 2>/dev/null
done
# tifftopnm does not read YCbCr: libtiff's own RGBA reading converts it first.
tiff2rgba -n rgb_jpeg_ycbcr.tif ycbcr_as_rgb.tif
tifftopnm ycbcr_as_rgb.tif > rgb_jpeg_ycbcr.pnm 2>/dev/null
rm -f ycbcr_as_rgb.tif

LZW="Ne peux pas charger l'image. Le procédé de compression n'est pas supporté par les fichiers TIF/TIFF."
# file, width, height, bits per pixel, reference, largest difference allowed
# (or: file, error text). The JPEG rows allow 1 for another build of the
# JPEG library; this one decodes them exactly.
cat > conformance.csv <<CSV
rgb_none.tif,21,11,24,rgb_none.pnm,0
rgb_none_be.tif,21,11,24,rgb_none.pnm,0
rgb_strips4.tif,21,11,24,rgb_none.pnm,0
rgb_packbits.tif,21,11,24,rgb_none.pnm,0
rgb_zip.tif,21,11,24,rgb_none.pnm,0
rgb_zip_predictor.tif,21,11,24,rgb_none.pnm,0
rgb_zip_planar.tif,21,11,24,rgb_none.pnm,0
rgb_planar_strips.tif,21,11,24,rgb_none.pnm,0
rgb_jpeg.tif,21,11,24,rgb_jpeg.pnm,1
grey_none.tif,21,11,8,grey_none.pnm,0
grey_packbits_be.tif,21,11,8,grey_none.pnm,0
grey_jpeg.tif,21,11,8,grey_jpeg.pnm,1
pal_none.tif,21,11,8,pal_none.pnm,0
pal_zip.tif,21,11,8,pal_none.pnm,0
bw_none.tif,1800,5,1,bw_none.pnm,0
bw_g3.tif,1800,5,1,bw_none.pnm,0
bw_g3_fill.tif,1800,5,1,bw_none.pnm,0
bw_g3_lsb.tif,1800,5,1,bw_none.pnm,0
bw_packbits.tif,1800,5,1,bw_none.pnm,0
bw_white_g3.tif,1800,5,1,bw_none.pnm,0
rgb_jpeg_ycbcr.tif,21,11,24,rgb_jpeg_ycbcr.pnm,1
rgb_lzw.tif,$LZW
bw_g4.tif,$LZW
bw_g3_2d.tif,$LZW
CSV
rm -f src_* base_*
