#!/bin/sh
# Reference pictures for the frame composition tests, made with independent
# tools: gifsicle assembles an animation whose frames use every disposal
# method, offsets and transparency; ImageMagick coalesces it into the full
# picture shown after each frame. Run once from any folder; the outputs are
# committed. Needs: apt-get install imagemagick gifsicle
#
#   composition.gif   8 x 6 screen, 5 frames
#   composition.rgba  the 5 coalesced pictures, R, G, B, A bytes, rows top
#                     down; alpha 0 where the picture shows the background
. "$(dirname "$0")/../fixture_tools.sh"

# Frame 0: the whole screen, red with a green diagonal.
ppm "$tmp/f0.ppm" 8 6 'if (x == y) print 0, 255, 0; else print 255, 0, 0'
# Frame 1: 4 x 3 blue, its middle row black (made transparent).
ppm "$tmp/f1.ppm" 4 3 'if (y == 1) print 0, 0, 0; else print 0, 0, 255'
# Frame 2: 3 x 3 white with a black (transparent) corner.
ppm "$tmp/f2.ppm" 3 3 'if (x == 0 && y == 0) print 0, 0, 0; else print 255, 255, 255'
# Frame 3: 2 x 2 yellow.
ppm "$tmp/f3.ppm" 2 2 'print 255, 255, 0'
# Frame 4: 8 x 1 cyan across the bottom row, black ends transparent.
ppm "$tmp/f4.ppm" 8 1 'if (x == 0 || x == 7) print 0, 0, 0; else print 0, 255, 255'
for f in 0 1 2 3 4; do convert "$tmp/f$f.ppm" "$tmp/f$f.gif"; done

gifsicle --no-warnings --logical-screen 8x6 --loopcount=forever \
  --delay 10 --disposal none "$tmp/f0.gif" \
  --delay 20 --disposal background --position 2,1 --transparent '#000000' "$tmp/f1.gif" \
  --delay 30 --disposal previous --position 4,2 --transparent '#000000' "$tmp/f2.gif" \
  --delay 40 --disposal none --position 1,3 "$tmp/f3.gif" \
  --delay 50 --disposal none --position 0,5 --transparent '#000000' "$tmp/f4.gif" \
  > "$here/composition.gif"

convert "$here/composition.gif" -coalesce -depth 8 "rgba:$here/composition.rgba"
