#!/usr/bin/env python3
"""Writes the generated seed files of the picture-reader fuzz targets: a PNG
for every colour type and bit depth carrying gAMA, bKGD and tRNS chunks
(and PLTE where it belongs), a TIFF for every compression and photometric
kind the reader knows, and header variants of the other readers. Run from
any folder; the outputs are committed under fuzz/corpus."""
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "data"))
CORPUS = os.path.join(HERE, "corpus")


def save(folder, name, data):
    os.makedirs(os.path.join(CORPUS, folder), exist_ok=True)
    with open(os.path.join(CORPUS, folder, name), "wb") as f:
        f.write(data)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


# --- PNG: every colour type and depth, every ancillary chunk we read -------
SAMPLES = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
DEPTHS = {0: (1, 2, 4, 8, 16), 2: (8, 16), 3: (1, 2, 4, 8), 4: (8, 16), 6: (8, 16)}
for colour, depths in DEPTHS.items():
    for depth in depths:
        for interlace in (0, 1):
            w, h = 5, 3
            row_bytes = (w * depth * SAMPLES[colour] + 7) // 8
            raw = b"".join(bytes([y % 5]) + bytes((x * 37 + y * 11) & 0xFF for x in range(row_bytes))
                           for y in range(h))
            if interlace:  # the passes' rows, filter type 0, enough bytes for any layout
                raw = b"\0" * (h * (row_bytes + 1) * 2)
            extra = chunk(b"gAMA", struct.pack(">I", 45455))
            if colour == 3:
                extra += chunk(b"PLTE", bytes(range(48)))
                extra += chunk(b"tRNS", b"\x00\x80")
                extra += chunk(b"bKGD", b"\x01")
            elif colour in (0, 4):
                extra += chunk(b"bKGD", struct.pack(">H", 1))
                if colour == 0:
                    extra += chunk(b"tRNS", struct.pack(">H", 1))
            else:
                extra += chunk(b"bKGD", struct.pack(">HHH", 1, 2, 3))
                if colour == 2:
                    extra += chunk(b"tRNS", struct.pack(">HHH", 1, 2, 3))
            ihdr = struct.pack(">IIBBBBB", w, h, depth, colour, 0, 0, interlace)
            data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra +
                    chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
            save("png", "gen_c%d_d%d_i%d.png" % (colour, depth, interlace), data)

# --- TIFF: every compression and photometric kind -------------------------
from make_regressions import basic  # noqa: E402

grey = bytes(range(0, 240, 15))  # 4 x 4 grey
save("tiff", "gen_none_minwhite.tif", basic(4, 4, 8, 1, 0, 1, grey))
save("tiff", "gen_none_grey4.tif", basic(4, 4, 4, 1, 1, 1, grey[:8]))
save("tiff", "gen_none_rgb16_be.tif", basic(2, 2, 16, 3, 2, 1, bytes(24)))
save("tiff", "gen_none_palette.tif", basic(4, 2, 8, 1, 3, 1, grey[:8],
                                          [(320, 3, list(range(0, 768 * 85, 85)))]))
save("tiff", "gen_none_cmyk.tif", basic(2, 2, 8, 4, 5, 1, bytes(range(16))))
save("tiff", "gen_none_ycbcr.tif", basic(2, 2, 8, 3, 6, 1, bytes(range(12)), [(530, 3, [1, 1])]))
save("tiff", "gen_none_lab.tif", basic(2, 2, 8, 3, 8, 1, bytes(range(12))))
save("tiff", "gen_none_rgba_assoc.tif", basic(2, 2, 8, 4, 2, 1, bytes(range(16)), [(338, 3, [1])]))
save("tiff", "gen_none_greyalpha.tif", basic(2, 2, 8, 2, 1, 1, bytes(range(8)), [(338, 3, [2])]))
save("tiff", "gen_none_fill2.tif", basic(16, 2, 1, 1, 1, 1, b"\x0F\xF0\x55\xAA", [(266, 3, [2])]))
save("tiff", "gen_packbits.tif", basic(4, 4, 8, 1, 1, 32773, b"\xFD\x10\x03\x01\x02\x03\x04" * 3))
save("tiff", "gen_deflate_pred.tif", basic(4, 4, 8, 1, 1, 8, zlib.compress(grey), [(317, 3, [2])]))
save("tiff", "gen_faxrle.tif", basic(8, 2, 1, 1, 0, 2, b"\x35\x00\x35\x00"))
save("tiff", "gen_fax3.tif", basic(8, 2, 1, 1, 0, 3, b"\x00\x1D\x40\x01\xD4\x00", [(292, 4, [0])]))
save("tiff", "gen_thunder.tif", basic(4, 2, 4, 1, 1, 32809, b"\x43\x43"))
with open(os.path.join(HERE, "..", "tests", "data", "jpeg", "grey.jpg"), "rb") as f:
    save("tiff", "gen_jpeg_grey.tif", basic(24, 16, 8, 1, 1, 7, f.read()))
save("tiff", "gen_lzw_refused.tif", basic(2, 2, 8, 1, 1, 5, b"\x80\x00\x00"))

# --- Other readers: the first byte picks the reader (see the target) --------
tga = struct.pack("<BBBHHBHHHHBB", 0, 1, 9, 0, 4, 24, 0, 0, 2, 2, 8, 0x20)
save("raster_readers", "gen_tga_cmap_rle", b"\x00" + tga + bytes(12) + b"\x83\x01")
tga16 = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, 2, 1, 16, 0)
save("raster_readers", "gen_tga_16", b"\x0A" + tga16 + b"\x1F\x7C\xE0\x03")
tga_grey = struct.pack("<BBBHHBHHHHBB", 2, 0, 11, 0, 0, 0, 0, 0, 3, 1, 8, 0)
save("raster_readers", "gen_tga_grey_rle", b"\x14" + tga_grey + b"id\x82\x40")
pcx = bytearray(128)
pcx[0:4] = b"\x0A\x05\x01\x01"
struct.pack_into("<HHHH", pcx, 4, 0, 0, 7, 1)
pcx[65] = 4
struct.pack_into("<HH", pcx, 66, 2, 1)
save("raster_readers", "gen_pcx_planes", b"\x01" + bytes(pcx) + b"\xC8\x55")
ppm_plain = b"P1\n# comment\n3 2\n1 0 1\n0 1 0\n"
save("raster_readers", "gen_pbm_plain", b"\x05" + ppm_plain)
save("raster_readers", "gen_pgm_wide", b"\x0F" + b"P5 2 1 1000\n\x03\xE8\x00\x10")
save("raster_readers", "gen_ppm_plain", b"\x19" + b"P3 1 1 255 10 20 30\n")
