#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imageio/PictureReaders.h"

namespace {

// A reader with a four-byte magic "QMRG" followed by width and height bytes;
// it loads a grey picture through the shared frame.
class TProbeGraphic : public TReaderGraphic {
public:
    QM_CLASSNAME(TProbeGraphic)
    bool AcceptsStream(TStream& Stream) override {
        const std::int64_t at = Stream.Position();
        char magic[4] = {};
        const bool ok = Stream.Read(magic, 4) == 4 && std::string(magic, 4) == "QMRG";
        Stream.SetPosition(at);
        return ok;
    }
    bool ReadHeader(TStream& Stream) override {
        TReaderGraphic::ReadHeader(Stream);
        if (!AcceptsStream(Stream)) return false;
        Byte header[6];
        Stream.ReadBuffer(header, 6);
        FImageProperties.Width = header[4];
        FImageProperties.Height = header[5];
        FImageProperties.ColorScheme = csG;
        FImageProperties.BitsPerSample = 8;
        FImageProperties.SamplesPerPixel = 1;
        return true;
    }
    void LoadFromStream(TStream& Stream) override {
        BeginLoad(Stream);
        if (!ReadHeader(Stream)) RaiseReaderError(SInvalidImage, {"QMRG"});
        const TImageProperties& p = FImageProperties;
        CheckImageSize(p.Width, p.Height, 8, "QMRG");
        ProgressStart(STransfering);
        FColorManager.SetSourceColorScheme(csG);
        FColorManager.SetTargetColorScheme(csG);
        FColorManager.SetSourceSamplesPerPixel(1);
        FColorManager.SetTargetSamplesPerPixel(1);
        SetPixelFormat(FColorManager.TargetPixelFormat());
        SetSize(p.Width, p.Height);
        std::vector<Byte> row(p.Width);
        for (int y = 0; y < p.Height; ++y) {
            Stream.ReadBuffer(row.data(), p.Width);
            FColorManager.ConvertRow(row.data(), ScanLine(y), p.Width);
            ProgressRow(y);
        }
        ProgressEnd();
    }
    void SetProperties(const TImageProperties& p) { FImageProperties = p; }
    std::int64_t BasePosition() const { return FBasePosition; }
};

struct TProgressCall {
    TProgressStage Stage;
    int Percent;
    bool Redraw;
    TRect R;
    std::string Message;
};

} // namespace

TEST(ReaderGraphic, HeaderAndMagicTests) {
    TProbeGraphic g;
    TImageProperties dirty;
    dirty.Width = 9;
    dirty.FileGamma = 0.5f;
    dirty.RowsPerStrip = {1, 2};
    dirty.YCbCrSubSampling = {2, 2};
    g.SetProperties(dirty);
    TStringStream bad("nope");
    EXPECT_FALSE(g.ReadHeader(bad));
    // The base clears every field and sets the file gamma to 1.0.
    EXPECT_EQ(g.ImageProperties().Width, 0);
    EXPECT_FLOAT_EQ(g.ImageProperties().FileGamma, 1.0f);
    EXPECT_TRUE(g.ImageProperties().RowsPerStrip.empty());
    EXPECT_TRUE(g.ImageProperties().YCbCrSubSampling.empty());

    TStringStream good(std::string("xxQMRG\x02\x03", 8));
    good.SetPosition(2);
    EXPECT_TRUE(g.AcceptsStream(good));
    EXPECT_EQ(good.Position(), 2);
    // The base class accepts nothing; a missing file is not accepted.
    TReaderGraphic base;
    EXPECT_FALSE(base.AcceptsStream(good));
    EXPECT_FALSE(g.AcceptsFile("/nonexistent/qm/picture.qmrg"));
}

TEST(ReaderGraphic, LoadFrameReportsProgress) {
    TStringStream stream(std::string("..QMRG\x02\x03\x01\x02\x03\x04\x05\x06", 14));
    stream.SetPosition(2);
    TProbeGraphic g;
    std::vector<TProgressCall> calls;
    g.OnProgress = [&](TObject*, TProgressStage stage, Byte percent, bool redraw, const TRect& r,
                       const std::string& msg) {
        calls.push_back({stage, percent, redraw, r, msg});
    };
    g.LoadFromStream(stream);
    EXPECT_EQ(g.BasePosition(), 2);
    ASSERT_EQ(g.Width(), 2);
    ASSERT_EQ(g.Height(), 3);
    EXPECT_EQ(g.PixelFormat(), pf8bit);
    EXPECT_EQ(g.ScanLine(2)[1], 6);
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].Stage, psStarting);
    EXPECT_EQ(calls[0].Message, "Transfert...");
    EXPECT_EQ(calls[0].R, Rect(0, 0, 2, 1));
    // Row x 100 / Height with the system's multiply-divide rounding.
    const int percents[] = {0, 33, 67};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(calls[1 + i].Stage, psRunning);
        EXPECT_EQ(calls[1 + i].Percent, percents[i]);
        EXPECT_TRUE(calls[1 + i].Redraw);
        EXPECT_EQ(calls[1 + i].R, Rect(0, i, 2, i + 1));
    }
    EXPECT_EQ(calls[4].Stage, psEnding);

    // A reload starts from an empty bitmap; a bad header raises the
    // reader's message.
    TStringStream bad("junkjunk");
    try {
        g.LoadFromStream(bad);
        FAIL() << "no error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(),
                  "Ne peux pas charger l'image. Format de fichier QMRG invalide ou inattendue.");
    }
    EXPECT_TRUE(g.Empty());
}

TEST(ReaderGraphic, SizeLimits) {
    TProbeGraphic g;
    for (const std::string& data :
         {std::string("QMRG\x00\x05", 6), std::string("QMRG\x05\x00", 6)}) {
        TStringStream s(data);
        EXPECT_THROW(g.LoadFromStream(s), EInvalidGraphic);
    }
    struct TSized : TReaderGraphic {
        void Check(std::int64_t w, std::int64_t h, int bits) { CheckImageSize(w, h, bits, "X"); }
    } sized;
    EXPECT_NO_THROW(sized.Check(32768, 1, 32));
    EXPECT_NO_THROW(sized.Check(16384, 16384, 32)); // exactly 1 GiB
    EXPECT_THROW(sized.Check(16384, 16385, 32), EInvalidGraphic);
    EXPECT_THROW(sized.Check(32769, 1, 8), EInvalidGraphic);
    EXPECT_THROW(sized.Check(-1, 10, 8), EInvalidGraphic);
    EXPECT_THROW(sized.Check(10, 10, 0), EInvalidGraphic);
}

TEST(ReaderGraphic, AssignCopiesProperties) {
    TProbeGraphic source;
    TImageProperties p;
    p.Width = 4;
    p.ColorScheme = csCMYK;
    p.RowsPerStrip = {7};
    source.SetProperties(p);
    source.SetPixelFormat(pf24bit);
    source.SetSize(4, 1);
    TProbeGraphic copy;
    copy.Assign(&source);
    EXPECT_EQ(copy.ImageProperties().ColorScheme, csCMYK);
    EXPECT_EQ(copy.ImageProperties().RowsPerStrip, TCardinalArray{7});
    EXPECT_EQ(copy.Width(), 4);
    // From a plain bitmap only the pixels come.
    TBitmap plain(2, 2, pf24bit);
    copy.Assign(&plain);
    EXPECT_EQ(copy.Width(), 2);
    EXPECT_EQ(copy.ImageProperties().ColorScheme, csCMYK);
}

TEST(ReaderGraphic, ByteOrderAndPredictors) {
    Word words[] = {0x1234, 0xFF00};
    TReaderGraphic::SwapShort(words, 2);
    EXPECT_EQ(words[0], 0x3412);
    EXPECT_EQ(words[1], 0x00FF);
    std::uint32_t longs[] = {0x12345678u, 0x000000FFu};
    TReaderGraphic::SwapLong(longs, 2);
    EXPECT_EQ(longs[0], 0x78563412u);
    EXPECT_EQ(longs[1], 0xFF000000u);
    EXPECT_EQ(TReaderGraphic::SwapLong(0xA1B2C3D4u), 0xD4C3B2A1u);

    // Differences are undone left to right, modulo 256; the byte after the
    // row stays.
    std::vector<Byte> one{10, 5, 250, 3, 99};
    TReaderGraphic::Depredict1(one.data(), 3);
    EXPECT_EQ(one, (std::vector<Byte>{10, 15, 9, 12, 99}));
    std::vector<Byte> three{1, 2, 3, 1, 1, 1, 255, 0, 10, 99};
    TReaderGraphic::Depredict3(three.data(), 2);
    EXPECT_EQ(three, (std::vector<Byte>{1, 2, 3, 2, 3, 4, 1, 3, 14, 99}));
    std::vector<Byte> four{1, 2, 3, 4, 1, 1, 1, 1, 99};
    TReaderGraphic::Depredict4(four.data(), 1);
    EXPECT_EQ(four, (std::vector<Byte>{1, 2, 3, 4, 2, 3, 4, 5, 99}));
}
