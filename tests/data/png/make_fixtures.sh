#!/bin/sh
# Makes the PNG conformance set with netpbm and the reference decodes
# (binary PNM made by pngtopam). Needs: netpbm, python3.
# Run from this folder; the outputs are committed.
set -eu
cd "$(dirname "$0")"
rm -f *.png *.pnm *.pgm *.ppm conformance.csv

# Source pictures: 13 x 7, odd sizes so that rows end inside a byte.
python3 - <<'PY'
W, H = 13, 7
def pgm(name, maxval):
    with open(name, "wb") as f:
        f.write(b"P5 %d %d %d\n" % (W, H, maxval))
        for y in range(H):
            for x in range(W):
                v = (x * 7 + y * 11) % (maxval + 1)
                f.write(v.to_bytes(2 if maxval > 255 else 1, "big"))
def ppm(name, maxval, colours=None):
    with open(name, "wb") as f:
        f.write(b"P6 %d %d %d\n" % (W, H, maxval))
        for y in range(H):
            for x in range(W):
                if colours:
                    rgb = colours[(x + 2 * y) % len(colours)]
                else:
                    rgb = ((x * 19 + y * 3) * 257 % (maxval + 1), (y * 37 + x) * 131 % (maxval + 1),
                           (x * y * 29 + 5) * 7 % (maxval + 1))
                for v in rgb:
                    f.write(v.to_bytes(2 if maxval > 255 else 1, "big"))
for m in (1, 3, 15, 255, 65535):
    pgm("src_g%d.pgm" % m, m)
ppm("src_rgb8.ppm", 255)
ppm("src_rgb16.ppm", 65535)
ppm("src_pal1.ppm", 255, [(10, 20, 30), (200, 100, 50)])
ppm("src_pal2.ppm", 255, [(255, 0, 0), (0, 255, 0), (0, 0, 255), (250, 250, 0)])
ppm("src_pal4.ppm", 255, [(i * 16, 255 - i * 16, (i * 40) % 256) for i in range(13)])
ppm("src_pal8.ppm", 255, [(i, (i * 3) % 256, (i * 7) % 256) for i in range(0, 250, 3)])
PY

pnmtopng src_g1.pgm > grey1.png
pnmtopng src_g3.pgm > grey2.png
pnmtopng src_g15.pgm > grey4.png
pnmtopng src_g255.pgm > grey8.png
pnmtopng src_g65535.pgm > grey16.png
pnmtopng -force src_rgb8.ppm > rgb8.png
pnmtopng src_rgb16.ppm > rgb16.png
pnmtopng src_pal1.ppm > pal1.png
pnmtopng src_pal2.ppm > pal2.png
pnmtopng src_pal4.ppm > pal4.png
pnmtopng src_pal8.ppm > pal8.png
pnmtopng -force -interlace src_rgb8.ppm > rgb8_interlaced.png
pnmtopng -interlace src_g3.pgm > grey2_interlaced.png
pnmtopng -interlace src_pal4.ppm > pal4_interlaced.png
pnmtopng -force -alpha src_g255.pgm src_g255.pgm > grey8_alpha.png
pnmtopng -force -alpha src_g255.pgm src_rgb8.ppm > rgba8.png
pnmtopng -alpha src_g65535.pgm src_rgb16.ppm > rgba16.png
pnmtopng -transparent =rgb:ff/00/00 src_pal2.ppm > pal2_trns.png
pnmtopng -force -gamma 1.0 src_rgb8.ppm > rgb8_gamma1.png
pnmtopng -force -compression 0 src_rgb8.ppm > rgb8_stored.png

# Reference decodes: colour and grey as the tool sees them (no gamma).
for f in grey1 grey2 grey4 grey8 grey16 rgb8 rgb16 pal1 pal2 pal4 pal8 \
         rgb8_interlaced grey2_interlaced pal4_interlaced grey8_alpha rgba8 rgba16 pal2_trns; do
    pngtopam $f.png > $f.pnm
done
pngtopam -alphapam rgba8.png > rgba8_alpha.pam

# file, width, height, bits per pixel of the bitmap, reference or error text
cat > conformance.csv <<'CSV'
grey1.png,13,7,1,grey1.pnm
grey2.png,13,7,4,grey2.pnm
grey4.png,13,7,4,grey4.pnm
grey8.png,13,7,8,grey8.pnm
grey16.png,13,7,8,grey16.pnm
rgb8.png,13,7,24,rgb8.pnm
rgb16.png,13,7,24,rgb16.pnm
pal1.png,13,7,1,pal1.pnm
pal2.png,13,7,4,pal2.pnm
pal4.png,13,7,4,pal4.pnm
pal8.png,13,7,8,pal8.pnm
rgb8_interlaced.png,13,7,24,rgb8_interlaced.pnm
grey2_interlaced.png,13,7,4,grey2_interlaced.pnm
pal4_interlaced.png,13,7,4,pal4_interlaced.pnm
grey8_alpha.png,13,7,32,grey8_alpha.pnm
rgba8.png,13,7,32,rgba8.pnm
rgba16.png,13,7,32,rgba16.pnm
pal2_trns.png,13,7,32,pal2_trns.pnm
rgb8_stored.png,13,7,24,rgb8.pnm
CSV
rm -f src_*.pgm src_*.ppm
