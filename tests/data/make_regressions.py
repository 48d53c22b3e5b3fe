#!/usr/bin/env python3
"""Writes the small regression files under tests/data/regress: pictures that
once crashed the readers, exhausted memory, loaded as empty or partial
pictures without a word, or came out in the wrong colours. Every file is
built here field by field; run from any folder, the outputs are committed."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "regress")


def save(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


# --- PNG -------------------------------------------------------------------
def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png(width, height, depth, colour, rows, extra=b""):
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


# A bit depth of 0 or 32 with a background or transparent colour: the depth
# must be refused before either chunk uses it.
save("png_depth0_bkgd.png", png(1, 1, 0, 0, b"\0\0", chunk(b"bKGD", b"\0\1")))
save("png_depth32_trns.png", png(1, 1, 32, 2, b"\0" + b"\0" * 12, chunk(b"tRNS", b"\0" * 6)))

# A 16-bit transparent colour: of the eight pixels only the first equals it
# in all sixteen bits; the others agree with it in their high bytes only.
key = (0x1234, 0x5678, 0x9ABC)
pixels = [key] + [(0x1234 + 16 * i, 0x5678 + 8 * i, 0x9ABC + i) for i in range(1, 8)]
rows = b""
for y in range(2):
    rows += b"\0" + b"".join(struct.pack(">HHH", *p) for p in pixels[4 * y:4 * y + 4])
save("png_rgb16_trns.png", png(4, 2, 16, 2, rows, chunk(b"tRNS", struct.pack(">HHH", *key))))
grey = [0x4321, 0x4322, 0x4300, 0x43FF]
save("png_grey16_trns.png", png(4, 1, 16, 0, b"\0" + b"".join(struct.pack(">H", g) for g in grey),
                                chunk(b"tRNS", struct.pack(">H", 0x4321))))

# Pictures larger than the data could ever hold, and beyond the size limit.
save("png_bomb.png", png(16000, 16000, 8, 2, b"\0" * 64))
save("png_32768x32767.png", png(32768, 32767, 8, 0, b"\0" * 64))

# --- Targa, PCX, BMP, portable map, Photoshop: huge claims, little data -----
# Type 10 (run-length true colour), 16384 x 16384 at 24 bits, one packet.
save("tga_rle_bomb.tga", struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, 16384, 16384, 24, 0)
     + b"\xFF\x10\x20\x30")
pcx = bytearray(128)
pcx[0:4] = b"\x0A\x05\x01\x08"               # manufacturer, version, RLE, 8 bits
struct.pack_into("<HHHH", pcx, 4, 0, 0, 16383, 16383)
pcx[65] = 1                                   # planes
struct.pack_into("<HH", pcx, 66, 16384, 1)    # bytes per line, palette type
save("pcx_rle_bomb.pcx", bytes(pcx) + b"\xFF\x00")
rle = b"\x00\x00" * 500 + b"\x00\x01"        # end-of-line escapes, then end
bmp = struct.pack("<IiiHHIIiiII", 40, 16000, 16000, 1, 8, 1, len(rle), 0, 0, 2, 0)
bmp += b"\0\0\0\0\xFF\xFF\xFF\0"
save("bmp_rle8_bomb.bmp", b"BM" + struct.pack("<IHHI", 14 + len(bmp) + len(rle), 0, 0,
                                               14 + len(bmp)) + bmp + rle)
save("ppm_bomb.ppm", b"P6\n16000 16000\n255\n" + b"\0" * 30)
psd = b"8BPS" + struct.pack(">H6xHIIHH", 1, 3, 16000, 16000, 8, 3)
psd += struct.pack(">III", 0, 0, 0) + struct.pack(">H", 0) + b"\0" * 30
save("psd_bomb.psd", psd)


# --- TIFF ------------------------------------------------------------------
def tiff(entries, data):
    """Little-endian TIFF: the directory at 8, then the values that do not
    fit, then data; entries are (tag, type, values) and a value "DATA" is
    replaced by the data's offset."""
    sizes = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8}
    fmt = {1: "B", 2: "B", 3: "H", 4: "I"}
    count = len(entries)
    extra_at = 8 + 2 + 12 * count + 4
    extra = b""
    packed = []
    data_at = None
    for tag, kind, values in sorted(entries):
        if kind == 5:
            raw = b"".join(struct.pack("<II", n, d) for n, d in values)
        else:
            raw = b"".join(struct.pack("<" + fmt[kind], v) for v in values)
        packed.append((tag, kind, len(values), raw))
        if len(raw) > 4:
            extra += raw
    data_at = extra_at + len(extra)
    ifd = struct.pack("<H", count)
    offset = extra_at
    for tag, kind, n, raw in packed:
        if tag in (273,):
            raw = struct.pack("<I", data_at)
        if len(raw) > 4:
            ifd += struct.pack("<HHI", tag, kind, n) + struct.pack("<I", offset)
            offset += len(raw)
        else:
            ifd += struct.pack("<HHI", tag, kind, n) + raw.ljust(4, b"\0")
    return b"II*\0" + struct.pack("<I", 8) + ifd + b"\0\0\0\0" + extra + data


def basic(width, height, bits, samples, photometric, compression, data, more=()):
    bps = [bits] * samples
    entries = [(256, 4, [width]), (257, 4, [height]), (258, 3, bps), (259, 3, [compression]),
               (262, 3, [photometric]), (273, 4, [0]), (277, 3, [samples]),
               (278, 4, [height]), (279, 4, [len(data)])]
    return tiff(entries + list(more), data)


# 16000 x 16000 grey in PackBits from 10 bytes.
save("tiff_packbits_bomb.tif", basic(16000, 16000, 8, 1, 1, 32773, b"\x81\x00" * 5))
# CIE L*a*b*: L 50 and L 100 with a = b = 0 are the greys 119 and 255.
save("tiff_lab.tif", basic(2, 1, 8, 3, 8, 1, bytes([128, 0, 0, 255, 0, 0])))
# RGBA with associated alpha: (64, 32, 0) at alpha 128 is straight (128, 64, 0).
save("tiff_rgba_associated.tif", basic(2, 1, 8, 4, 2, 1, bytes([64, 32, 0, 128, 10, 20, 30, 255]),
                                       [(338, 3, [1])]))
# Bilevel, minimum black, FillOrder 2: byte 0x01 holds the first pixel (white).
save("tiff_bw_fillorder2.tif", basic(8, 1, 1, 1, 1, 1, b"\x01", [(266, 3, [2])]))
# RGB of 4-bit samples: a layout the colour manager has no conversion for.
save("tiff_rgb4.tif", basic(2, 1, 4, 3, 2, 1, b"\x12\x34\x56"))
# JPEG strip cut halfway through its scan: the decoder warns ("Attention")
# and goes on.
with open(os.path.join(HERE, "jpeg", "grey.jpg"), "rb") as f:
    jpeg = f.read()
sos = jpeg.index(b"\xFF\xDA")
save("tiff_jpeg_cut.tif", basic(24, 16, 8, 1, 1, 7, jpeg[:(sos + len(jpeg)) // 2]))


# --- Icons -----------------------------------------------------------------
def icon(entries):
    """entries: (width, height, bits, image bytes)."""
    head = struct.pack("<HHH", 0, 1, len(entries))
    at = 6 + 16 * len(entries)
    body = b""
    for w, h, bits, image in entries:
        head += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, bits, len(image), at + len(body))
        body += image
    return head + body


def dib32(width, height, bgra_rows):
    """A 32-bit icon image: header (height doubled), rows bottom-up, mask."""
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bgra_rows[::-1])
    mask = b"\0\0\0\0" * height
    return header + pixels + mask


# Alpha 128 and 255: the half-transparent pixel must stay half transparent.
save("ico_partial_alpha.ico", icon([(2, 1, 32, dib32(2, 1, [bytes([200, 100, 50, 128,
                                                                  10, 20, 30, 255])]))]))
# The largest entry is PNG-compressed (4 x 4 RGBA), a smaller one is a DIB.
rgba = b"".join(b"\0" + bytes([255, 0, 0, 255] * 4) for _ in range(4))
small = dib32(2, 2, [bytes([0, 255, 0, 255] * 2)] * 2)
save("ico_png_largest.ico", icon([(2, 2, 32, small), (4, 4, 32, png(4, 4, 8, 6, rgba))]))
