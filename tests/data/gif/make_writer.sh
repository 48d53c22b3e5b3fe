#!/bin/sh
# Reference decodes of GIF streams written by our own writer, made with an
# independent decoder (ImageMagick). Needs: apt-get install imagemagick
#
# 1. The GIF files come from the test GifWriter.IndependentDecoderReadsOurStreams,
#    which writes them when QM_GIF_WRITER_OUT names a folder:
#      QM_GIF_WRITER_OUT=tests/data/gif build/tests/test_gif_gif_writer_test \
#        --gtest_filter='*IndependentDecoder*'
# 2. This script decodes each into raw R, G, B bytes, frames one after the
#    other; the test compares them with the pictures it built.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
for name in writer_lzw writer_rle; do
  convert "$here/$name.gif" -coalesce -depth 8 "rgb:$here/$name.rgb"
done
