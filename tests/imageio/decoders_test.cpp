#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "imageio/DecoderDeflate.h"
#include "imageio/DecoderFax.h"
#include "imageio/DecoderJpeg.h"
#include "imageio/DecoderPhotoCD.h"
#include "imageio/DecoderRle.h"
#include "imageio/DecoderThunder.h"
#include "platform/classes/Stream.h"

namespace {

using Bytes = std::vector<Byte>;
constexpr Byte Guard = 0xA5;

// Decodes In with D into a buffer of OutSize bytes followed by guard bytes;
// returns the output and checks the guards and the pointer movements.
Bytes DecodeAll(TDecoder& D, const Bytes& In, std::int64_t OutSize,
                std::int64_t* Consumed = nullptr) {
    Bytes out(std::size_t(OutSize) + 16, Guard);
    const Byte* src = In.data();
    Byte* dst = out.data();
    D.Decode(src, dst, std::int64_t(In.size()), OutSize);
    EXPECT_LE(src - In.data(), std::int64_t(In.size()));
    EXPECT_LE(dst - out.data(), OutSize);
    for (std::size_t i = std::size_t(OutSize); i < out.size(); ++i)
        EXPECT_EQ(out[i], Guard) << "overrun at " << i;
    if (Consumed) *Consumed = src - In.data();
    out.resize(std::size_t(OutSize));
    return out;
}

// Packs a string of '0' and '1' (spaces ignored) into bytes, zero padded.
Bytes BitsToBytes(const std::string& bits) {
    Bytes out;
    int n = 0;
    for (char c : bits) {
        if (c != '0' && c != '1') continue;
        if (n % 8 == 0) out.push_back(0);
        if (c == '1') out.back() |= Byte(0x80 >> (n % 8));
        ++n;
    }
    return out;
}

} // namespace

TEST(RunLengthDecoders, PackBitsFollowsTheTiffExample) {
    TPackbitsRLEDecoder d;
    Bytes in = {0xFE, 0xAA, 0x02, 0x80, 0x00, 0x2A, 0xFD, 0xAA,
                0x03, 0x80, 0x00, 0x2A, 0x22, 0xF7, 0xAA};
    Bytes want = {0xAA, 0xAA, 0xAA, 0x80, 0x00, 0x2A, 0xAA, 0xAA, 0xAA, 0xAA, 0x80, 0x00,
                  0x2A, 0x22, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(DecodeAll(d, in, 24), want);
    // -128 is skipped without output; a run longer than the room is cut.
    std::int64_t used = 0;
    EXPECT_EQ(DecodeAll(d, {0x80, 0x80, 0xF0, 0x11, 0x00, 0x22}, 5, &used), Bytes(5, 0x11));
    EXPECT_EQ(used, 4);
    // A copy that runs past the input copies what is there.
    Bytes cut = DecodeAll(d, {0x05, 1, 2}, 6);
    EXPECT_EQ(Bytes(cut.begin(), cut.begin() + 2), (Bytes{1, 2}));
}

TEST(RunLengthDecoders, EachVariantsPacketRules) {
    TPCXRLEDecoder pcx;
    EXPECT_EQ(DecodeAll(pcx, {0xC3, 0x55, 0x41, 0xC1, 0xC7}, 5),
              (Bytes{0x55, 0x55, 0x55, 0x41, 0xC7}));

    TSGIRLEDecoder sgi8(8);
    EXPECT_EQ(DecodeAll(sgi8, {0x83, 1, 2, 3, 0x02, 9, 0x00, 7, 7}, 6),
              (Bytes{1, 2, 3, 9, 9, Guard}));
    TSGIRLEDecoder sgi16(16);
    EXPECT_EQ(DecodeAll(sgi16, {0x00, 0x81, 0x12, 0x34, 0x00, 0x02, 0xAB, 0xCD, 0x00, 0x00}, 6),
              (Bytes{0x12, 0x34, 0xAB, 0xCD, 0xAB, 0xCD}));

    TCUTRLEDecoder cut; // two count bytes, then packets up to a 0
    EXPECT_EQ(DecodeAll(cut, {0x09, 0x00, 0x83, 0x44, 0x02, 5, 6, 0x00, 0x81, 0x99}, 6),
              (Bytes{0x44, 0x44, 0x44, 5, 6, Guard}));

    TPSPRLEDecoder psp;
    EXPECT_EQ(DecodeAll(psp, {0x83, 0x10, 0x02, 7, 8}, 5), (Bytes{0x10, 0x10, 0x10, 7, 8}));

    TRLADecoder rla;
    EXPECT_EQ(DecodeAll(rla, {0xFE, 1, 2, 0x02, 3}, 5), (Bytes{1, 2, 3, 3, 3}));

    TTargaRLEDecoder tga(24);
    EXPECT_EQ(DecodeAll(tga, {0x81, 1, 2, 3, 0x00, 4, 5, 6}, 9),
              (Bytes{1, 2, 3, 1, 2, 3, 4, 5, 6}));
}

TEST(RunLengthDecoders, NoVariantPassesEitherEndOnRandomInput) {
    std::mt19937 rng(7);
    const TRunLengthVariant variants[] = {TRunLengthVariant::Targa, TRunLengthVariant::PackBits,
                                          TRunLengthVariant::PCX,   TRunLengthVariant::SGI,
                                          TRunLengthVariant::CUT,   TRunLengthVariant::PSP,
                                          TRunLengthVariant::RLA};
    for (TRunLengthVariant v : variants)
        for (int unit = 1; unit <= 4; ++unit)
            for (int trial = 0; trial < 50; ++trial) {
                Bytes in(rng() % 40);
                for (Byte& b : in)
                    b = Byte(rng());
                TRunLengthDecoder d(v, unit);
                DecodeAll(d, in, rng() % 30);
            }
}

TEST(TargaEncoder, RunsAndRawPacketsAreCappedAt128) {
    TTargaRLEDecoder d(24);
    Bytes same(300 * 3);
    for (std::size_t i = 0; i < same.size(); i += 3) {
        same[i] = 1;
        same[i + 1] = 2;
        same[i + 2] = 3;
    }
    Bytes out(std::size_t(d.MaxEncodedSize(300)));
    std::int64_t stored = 0;
    d.Encode(same.data(), out.data(), 300, stored);
    EXPECT_EQ(stored, 12);
    EXPECT_EQ((Bytes(out.begin(), out.begin() + 12)),
              (Bytes{0xFF, 1, 2, 3, 0xFF, 1, 2, 3, 0xAB, 1, 2, 3})); // 128, 128, 44

    Bytes alternating(300);
    for (std::size_t i = 0; i < alternating.size(); ++i)
        alternating[i] = Byte(i % 2);
    TTargaRLEDecoder grey(8);
    Bytes packed(std::size_t(grey.MaxEncodedSize(300)));
    stored = 0;
    grey.Encode(alternating.data(), packed.data(), 300, stored);
    EXPECT_EQ(stored, 303);
    EXPECT_EQ(packed[0], 127);
    EXPECT_EQ(packed[129], 127);
    EXPECT_EQ(packed[258], 43);
}

TEST(TargaEncoder, RoundTripsThroughTheDecoder) {
    std::mt19937 rng(3);
    for (int depth : {8, 16, 24, 32}) {
        TTargaRLEDecoder d(depth);
        const int bpp = d.BytesPerPixel();
        for (int count : {1, 2, 7, 129, 301}) {
            Bytes pixels(std::size_t(count * bpp));
            for (std::size_t i = 0; i < pixels.size(); i += bpp) {
                Byte v = Byte(rng() % 3); // few values make runs likely
                for (int k = 0; k < bpp; ++k)
                    pixels[i + k] = Byte(v * (k + 1));
            }
            Bytes packed(std::size_t(d.MaxEncodedSize(count)));
            std::int64_t stored = 0;
            d.Encode(pixels.data(), packed.data(), count, stored);
            packed.resize(std::size_t(stored));
            EXPECT_EQ(DecodeAll(d, packed, std::int64_t(pixels.size())), pixels)
                << depth << " " << count;
        }
    }
}

TEST(FaxDecoders, Group3RowsFollowTheirEndOfLineCodes) {
    // Width 12: white 8, black 3, white 1; the second row: white 0, black 12.
    const std::string eol = "000000000001";
    Bytes in = BitsToBytes(eol + "10011" + "10" + "000111" + eol + "00110101" + "0000111");
    TCCITTFax3Decoder d(0, 12, false, false);
    EXPECT_EQ(DecodeAll(d, in, 4), (Bytes{0x00, 0xE0, 0xFF, 0xF0}));

    // The same bits in reversed order within each byte.
    Bytes reversed = in;
    for (Byte& b : reversed) {
        Byte r = 0;
        for (int i = 0; i < 8; ++i)
            if (b & (1 << i)) r |= Byte(0x80 >> i);
        b = r;
    }
    TCCITTFax3Decoder rd(0, 12, false, true);
    EXPECT_EQ(DecodeAll(rd, reversed, 4), (Bytes{0x00, 0xE0, 0xFF, 0xF0}));
}

TEST(FaxDecoders, MakeUpCodesAddToTheRun) {
    // Width 1800: white 1792 + 3, black 5.
    Bytes in = BitsToBytes("000000000001 00000001000 1000 0011");
    TCCITTFax3Decoder d(0, 1800, false, false);
    Bytes out = DecodeAll(d, in, 225);
    EXPECT_EQ(out[223], 0x00);
    EXPECT_EQ(out[224], 0x1F);
}

TEST(FaxDecoders, ModifiedHuffmanRowsStartOnABytePerRow) {
    // Width 5: white 2, black 3 (6 bits and padding), then on the next byte a
    // row that starts black: white 0, black 5.
    Bytes in = BitsToBytes("0111 10 00"
                           "00110101 0011 0");
    TCCITTMHDecoder d(0, 5, false, false);
    EXPECT_EQ(DecodeAll(d, in, 2), (Bytes{0x38, 0xF8}));
    // Word alignment skips to an even byte.
    Bytes aligned = BitsToBytes("0111 10 00"
                                "00000000"
                                "00110101 0011 0");
    TCCITTMHDecoder w(0, 5, true, false);
    EXPECT_EQ(DecodeAll(w, aligned, 2), (Bytes{0x38, 0xF8}));
}

TEST(FaxDecoders, GarbageNeverOverrunsTheRow) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 200; ++trial) {
        Bytes in(rng() % 64);
        for (Byte& b : in)
            b = Byte(rng());
        int width = 1 + int(rng() % 40);
        TCCITTFax3Decoder g3(0, width, false, trial % 2);
        DecodeAll(g3, in, rng() % 20);
        TCCITTMHDecoder mh(0, width, trial % 3 == 0, false);
        DecodeAll(mh, in, rng() % 20);
    }
}

TEST(DeflateDecoder, InflatesInPiecesAndReportsTheEnd) {
    Bytes plain(1000);
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = Byte(i * 7 / 3);
    Bytes packed(2000);
    uLongf size = packed.size();
    ASSERT_EQ(compress(packed.data(), &size, plain.data(), plain.size()), Z_OK);
    packed.resize(size);

    TLZ77Decoder d(Z_PARTIAL_FLUSH, false);
    d.DecodeInit();
    Bytes out(1000);
    const Byte* src = packed.data();
    Byte* dst = out.data();
    d.Decode(src, dst, 10, 300); // a first slice of the input
    EXPECT_FALSE(d.StreamEnded());
    d.Decode(src, dst, std::int64_t(packed.data() + packed.size() - src), out.data() + 1000 - dst);
    EXPECT_TRUE(d.StreamEnded());
    EXPECT_EQ(d.AvailableInput(), 0);
    EXPECT_EQ(d.AvailableOutput(), 0);
    EXPECT_EQ(out, plain);
    d.DecodeEnd();

    // With automatic reset every call starts a new stream (one per strip).
    TLZ77Decoder strips(Z_PARTIAL_FLUSH, true);
    strips.DecodeInit();
    for (int i = 0; i < 2; ++i) {
        Bytes again(1000);
        EXPECT_EQ(DecodeAll(strips, packed, 1000), plain);
    }
    Bytes junk = {0x78, 0x9C, 0xFF, 0xFF, 0xFF};
    DecodeAll(strips, junk, 10);
    EXPECT_LT(strips.ZLibResult(), 0);
}

TEST(ThunderDecoder, CodesRepeatDeltasAndRawValues) {
    // raw 5; repeat 2; deltas 0, +1, +1; deltas +2, skip; raw 15; delta -1 (3 bit).
    Bytes in = {0xC5, 0x02, 0x45, 0x94, 0xCF, 0xB8};
    TThunderDecoder d(9);
    // Samples 5 5 5 5 6 7 9 15 14 -> nibbles.
    EXPECT_EQ(DecodeAll(d, in, 5), (Bytes{0x55, 0x55, 0x67, 0x9F, 0xE0}));
}

TEST(JpegDecoder, BrokenStripsRaiseInsteadOfEndingTheProgram) {
    TImageProperties p;
    p.Width = 8;
    p.Height = 8;
    p.SamplesPerPixel = 1;
    p.BitsPerSample = 8;
    p.RowsPerStrip = {8};
    TTIFFJPEGDecoder d(p, {});
    d.DecodeInit();
    Bytes junk = {0xFF, 0xD8, 0xFF, 0x01, 0x02, 0x03};
    Bytes out(64);
    const Byte* src = junk.data();
    Byte* dst = out.data();
    try {
        d.Decode(src, dst, std::int64_t(junk.size()), 64);
        ADD_FAILURE() << "no error";
    } catch (const EDecoderError& e) {
        EXPECT_EQ(std::string(e.Message()).rfind(SJPEGLibraryError, 0), 0u) << e.Message();
    }
    d.DecodeEnd();

    // Tables that are not a tables-only stream are refused.
    TTIFFJPEGDecoder t(p, Bytes{0x00, 0x01});
    EXPECT_THROW(t.DecodeInit(), EDecoderError);
}

TEST(PhotoCDDecoder, ResidualsAreAddedAndClamped) {
    // One table of two codes: "0" -> +5, "10" -> -3 (length - 1, code, value).
    Bytes stream = {0x01, 0x00, 0x00, 0x00, 0x05, 0x01, 0x80, 0x00, 0xFD};
    // Row 0 of the luminance: marker, header (row 0, plane 0), codes 0 10 0 0.
    Bytes row = {0xFF, 0xFF, 0xFE, 0x00, 0x00, 0x40};
    // Row 1 after a few bytes of padding: codes 0 0 0 10.
    Bytes row1 = {0x00, 0xFF, 0xFF, 0xFE, 0x00, 0x08, 0x10};
    // The end: a row number equal to the height.
    Bytes end = {0xFF, 0xFF, 0xFE, 0x00, 0x10};
    stream.insert(stream.end(), row.begin(), row.end());
    stream.insert(stream.end(), row1.begin(), row1.end());
    stream.insert(stream.end(), end.begin(), end.end());
    TBytesStream s(stream);
    TPCDDecoder d(s, 4, 2);
    ASSERT_EQ(d.PlanesSize(), 8 + 2 + 2);
    Bytes planes(12, 100);
    planes[7] = 1; // clamped at 0
    const Byte* src = nullptr;
    Byte* dst = planes.data();
    d.Decode(src, dst, 0, 12);
    EXPECT_EQ(planes, (Bytes{105, 97, 105, 105, 105, 105, 105, 0, 100, 100, 100, 100}));
}

TEST(PhotoCDDecoder, ACodeLongerThan16BitsLeavesTheBaseImage) {
    Bytes stream = {0x00, 0x10, 0x00, 0x00, 0x05, 0xFF, 0xFF, 0xFE, 0x00, 0x00, 0x00};
    TBytesStream s(stream);
    TPCDDecoder d(s, 4, 2);
    Bytes planes(12, 100);
    const Byte* src = nullptr;
    Byte* dst = planes.data();
    d.Decode(src, dst, 0, 12);
    EXPECT_EQ(planes, Bytes(12, 100));
}
