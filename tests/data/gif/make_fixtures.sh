#!/bin/sh
# Makes the reference GIF files under tests/data/gif with independent tools
# (ImageMagick's convert and gifsicle). Run once from any folder; the outputs
# are committed. Needs: apt-get install imagemagick gifsicle
# The sources are plain-text pictures whose pixel (x, y) the tests compute
# with the same formulas.
. "$(dirname "$0")/../fixture_tools.sh"

# Four colours in diagonal bands.
ppm "$tmp/bands.ppm" 13 7 'i = (x + y) % 4; print (i*80)%256, (255-i*60)%256, (i*37)%256'
# 200 colours: (i, 255-i, (i*7)%256) with i = (x + y*20) % 200.
ppm "$tmp/many.ppm" 20 10 'i = (x + y*20) % 200; print i, 255-i, (i*7)%256'
# Three frames of 6x4 with a moving white pixel on dark blue, then a
# red/green frame with its own colours.
for f in 0 1 2; do
  ppm "$tmp/f$f.ppm" 6 4 "if (x == $f*2 && y == $f) print 255, 255, 255; else print 0, 0, 128"
done
ppm "$tmp/f3.ppm" 6 4 'if ((x + y) % 2) print 255, 0, 0; else print 0, 255, 0'

# still.gif: one frame, global colour table, no extensions needed.
convert "$tmp/bands.ppm" "$here/still.gif"
# interlaced.gif: the same picture written in the four interlace passes.
convert "$tmp/bands.ppm" -interlace GIF "$here/interlaced.gif"
# colors200.gif: a full 256-entry table holding 200 colours.
convert "$tmp/many.ppm" "$here/colors200.gif"

# anim.gif: four frames, delays 10, 20, 30, 40, loop count 3, a comment on
# frame 0, transparency (dark blue) on frames 1 and 2, frame 3 with a local
# colour table.
for f in 0 1 2 3; do convert "$tmp/f$f.ppm" "$tmp/f$f.gif"; done
gifsicle --no-warnings --loopcount=3 --comment "made by gifsicle" \
  -d10 "$tmp/f0.gif" \
  -d20 --transparent '#000080' "$tmp/f1.gif" \
  -d30 --transparent '#000080' "$tmp/f2.gif" \
  -d40 --disposal background "$tmp/f3.gif" > "$tmp/anim.gif"
# Every frame keeps its full 6x4 size (no cropping or optimising).
cp "$tmp/anim.gif" "$here/anim.gif"

# local.gif: frame 1 brings its own colour table (ImageMagick writes one
# when a frame's colours differ from the first frame's).
convert -delay 7 "$tmp/f0.ppm" "$tmp/f3.ppm" "$here/local.gif"

# offset.gif: a 3x2 frame placed at (2, 1) on a 6x4 screen.
convert -size 3x2 xc:'#ff8000' -page 6x4+2+1 "$here/offset.gif"

# forever.gif: two frames that loop forever, with an explicit background.
gifsicle --no-warnings --loopcount=forever -d5 "$tmp/f0.gif" "$tmp/f1.gif" > "$here/forever.gif"

# Damaged files: each must be refused with the message listed in
# malformed/expected.csv. Written byte by byte; the comments name the part
# that is wrong.
mal="$here/malformed"
mkdir -p "$mal"
python3 - "$mal" <<'PY'
import struct, sys, os
d = sys.argv[1]
def lsd(w=4, h=4, packed=0x80, bg=0, aspect=0):
    return struct.pack('<HHBBB', w, h, packed, bg, aspect)
gct2 = bytes([0, 0, 0, 255, 255, 255])
# 2x2 image at (0, 0), no local table; LZW data of four pixels 0, 1, 1, 0
# with a clear code first and the end code last (code size 2).
desc = b',' + struct.pack('<HHHHB', 0, 0, 2, 2, 0)
data = bytes([2, 3, 0x44, 0x02, 0x05, 0])  # codes 4,0,1,1 (3 bits) then 0,5 (4 bits)
def w(name, b):
    open(os.path.join(d, name), 'wb').write(b)
head = b'GIF89a' + lsd() + gct2
w('bad_signature.gif', b'GIX89a' + lsd() + gct2 + desc + data + b';')
w('short_header.gif', b'GIF89a' + b'\x04\x00')
# The screen descriptor promises 256 colours; only 4 follow.
w('short_global_map.gif', b'GIF89a' + lsd(packed=0x87) + bytes(12))
# Image Descriptor cut after 5 of its 10 bytes.
w('short_descriptor.gif', head + desc[:5])
# Local table of 8 colours promised, 2 given.
w('short_local_map.gif', head + b',' + struct.pack('<HHHHB', 0, 0, 2, 2, 0x82) + bytes(6))
# Application Extension whose identifier block is 5 bytes long.
w('app_block_size.gif', head + b'!\xff\x05ABCDE\x00' + desc + data + b';')
# Looping extension whose loop sub-block holds 2 bytes instead of 3.
w('loop_short_subblock.gif', head + b'!\xff\x0bNETSCAPE2.0\x02\x01\x00\x00' + desc + data + b';')
# LZW minimum code size 12: no room for any table entry.
w('code_size_12.gif', head + desc + bytes([12, 1, 0, 0]) + b';')
# A 65535 x 65535 frame from a 30-byte file.
w('huge_frame.gif', b'GIF89a' + lsd(w=65535, h=65535) + gct2 + b',' + struct.pack('<HHHHB', 0, 0, 65535, 65535, 0) + data + b';')
# A plain text extension cut inside its 12-byte header.
w('short_text_extension.gif', head + b'!\x01\x0c\x00\x00')
# A comment whose sub-block runs past the end of the file.
w('short_comment.gif', head + b'!\xfe\x10abc')
PY
cat > "$mal/expected.csv" <<'CSV'
file,message
bad_signature.gif,Invalid GIF signature
short_header.gif,Premature end of data
short_global_map.gif,Premature end of data
short_descriptor.gif,Premature end of data
short_local_map.gif,Premature end of data
app_block_size.gif,Unsupported Application Extension block size
loop_short_subblock.gif,Invalid GIF data
code_size_12.gif,Invalid GIF data
huge_frame.gif,Invalid image dimensions
short_text_extension.gif,Premature end of data
short_comment.gif,Premature end of data
CSV

# Well-formed files the reader once refused (and what it must do with them).
python3 - "$here" <<'PY'
import struct, sys, os
d = sys.argv[1]
def w(name, b):
    open(os.path.join(d, name), 'wb').write(b)
desc = b',' + struct.pack('<HHHHB', 0, 0, 2, 2, 0)
data = bytes([2, 3, 0x44, 0x02, 0x05, 0])  # pixels 0, 1, 1, 0 (code size 2)
# unknown_label.gif: an extension whose label (0xF0) no GIF version defines,
# with two sub-blocks of data: skipped, the frame after it read.
w('unknown_label.gif', b'GIF89a' + struct.pack('<HHBBB', 2, 2, 0x80, 0, 0) +
  bytes([0, 0, 0, 255, 255, 255]) + b'!\xf0\x03abc\x02de\x00' + desc + data + b';')
# index_past_table.gif: a 2-colour global table, code size 2, and pixels
# 0, 3, 2, 1: two of them index past the table.
codes = [(4, 3), (0, 3), (3, 3), (2, 3), (1, 4), (5, 4)]
acc = n = 0
out = bytearray()
for c, width in codes:
    acc |= c << n; n += width
    while n >= 8: out.append(acc & 255); acc >>= 8; n -= 8
if n: out.append(acc & 255)
w('index_past_table.gif', b'GIF89a' + struct.pack('<HHBBB', 2, 2, 0x80, 0, 0) +
  bytes([0, 0, 0, 255, 255, 255]) + desc + bytes([2, len(out)]) + bytes(out) + b'\0;')
# big_animation.gif: 15 frames of 3000 x 3000, each of one colour (frame k
# uses index k % 4), more pixels than the whole file once could hold.
def lzw_uniform(c, count):
    # The codes a greedy LZW coder sends for count pixels of colour c with
    # code size 2, clearing when the table is full.
    out = bytearray(); acc = n = 0
    def put(code, width):
        nonlocal acc, n
        acc |= code << n; n += width
        while n >= 8: out.append(acc & 255); acc >>= 8; n -= 8
    def clear():
        put(4, width[0]); width[0] = 3
        return 6, 1  # next free code, longest run defined
    width = [3]
    nxt, longest = clear()
    while count > 0:
        take = min(longest, count)
        code = c if take == 1 else 4 + take  # a run of length L >= 2 has code L + 4
        put(code, width[0]); count -= take
        # The width grows once the next free code no longer fits, as the
        # decoder (one entry behind) expects.
        if nxt > (1 << width[0]) - 1 and width[0] < 12: width[0] += 1
        if count > 0:
            if nxt > 4094:
                nxt, longest = clear()
                continue
            longest = take + 1; nxt += 1
    put(5, width[0])
    if n: out.append(acc & 255)
    blocks = bytearray([2])
    for i in range(0, len(out), 255):
        part = out[i:i + 255]; blocks += bytes([len(part)]) + part
    return bytes(blocks + b'\0')
frames = b''
for k in range(15):
    frames += b'!\xf9\x04\x00\x0a\x00\x00\x00'
    frames += b',' + struct.pack('<HHHHB', 0, 0, 3000, 3000, 0) + lzw_uniform(k % 4, 3000 * 3000)
w('big_animation.gif', b'GIF89a' + struct.pack('<HHBBB', 3000, 3000, 0x81, 0, 0) +
  bytes([0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255]) + frames + b';')
PY
