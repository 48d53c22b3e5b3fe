#include "platform/classes/Filer.h"
#include "platform/classes/Stream.h"
#include "raster/RasterCore.h"
#include "raster/RasterModule.h"
#include "raster/RasterResamplers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class DataStream : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
};

std::vector<Byte> Bytes(TMemoryStream& S) {
    const auto v = S.View();
    return {v.begin(), v.end()};
}

void Le32(std::vector<Byte>& Out, std::uint32_t V) {
    for (int i = 0; i < 4; ++i)
        Out.push_back(Byte(V >> (8 * i)));
}

TEST_F(DataStream, TwoByOneLayout) {
    TBitmap32 b;
    b.SetDimensions(2, 1);
    b.WritePixel(0, 0, 0x44332211u);
    b.WritePixel(1, 0, 0x88776655u);
    TMemoryStream s;
    b.WriteDataTo(s);
    const std::vector<Byte> expected = {0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
                                        0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    EXPECT_EQ(Bytes(s), expected);
}

TEST_F(DataStream, RoundTripAtAwkwardSizes) {
    for (auto [w, h] : {std::pair{1, 1}, {1, 7}, {7, 1}, {31, 5}}) {
        TBitmap32 a;
        a.SetDimensions(w, h);
        std::uint32_t seed = 12345u + w * 7 + h;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                seed = seed * 1664525u + 1013904223u;
                a.WritePixel(x, y, seed);
            }
        TMemoryStream s;
        a.WriteDataTo(s);
        EXPECT_EQ(s.Size(), 8 + 4 * w * h);
        s.SetPosition(0);
        TBitmap32 b;
        int changes = 0;
        b.OnChange = [&](TObject*) { ++changes; };
        b.ReadDataFrom(s);
        EXPECT_TRUE(b.Equals(&a)) << w << "x" << h;
        EXPECT_GE(changes, 1);
    }
}

struct TMalformed {
    const char* Name;
    std::vector<Byte> Bytes;
};

std::vector<TMalformed> MalformedCases() {
    std::vector<TMalformed> cases;
    auto header = [](std::int32_t W, std::int32_t H) {
        std::vector<Byte> v;
        Le32(v, std::uint32_t(W));
        Le32(v, std::uint32_t(H));
        return v;
    };
    cases.push_back({"nothing", {}});
    cases.push_back({"half a header", {1, 0, 0, 0}});
    cases.push_back({"negative width", header(-1, 1)});
    {
        auto v = header(1, -2);
        v.resize(v.size() + 8, 0);
        cases.push_back({"negative height", v});
    }
    {
        auto v = header(2, 2);
        v.resize(v.size() + 15, 0);
        cases.push_back({"one byte short", v});
    }
    {
        auto v = header(2, 2);
        v.resize(v.size() + 17, 0);
        cases.push_back({"one byte too many", v});
    }
    cases.push_back({"sizes whose product overflows 32 bits", header(0x10000, 0x10001)});
    cases.push_back({"largest sizes", header(0x7FFFFFFF, 0x7FFFFFFF)});
    // 1 x (2^28 + 1) pixels claims just over 1 GiB: refused before allocating.
    cases.push_back({"over the cap", header(1, (1 << 28) + 1)});
    return cases;
}

TEST_F(DataStream, MalformedDataLeavesTheBitmapEmptyAndRaises) {
    for (const TMalformed& c : MalformedCases()) {
        TBitmap32 b;
        b.SetDimensions(3, 3);
        int changes = 0;
        b.OnChange = [&](TObject*) { ++changes; };
        TBytesStream s(c.Bytes);
        try {
            b.ReadDataFrom(s);
            ADD_FAILURE() << c.Name << ": no exception";
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message(), SInvalidBitmapData) << c.Name;
        }
        EXPECT_TRUE(b.Empty()) << c.Name;
        EXPECT_EQ(b.Width(), 0) << c.Name;
        EXPECT_GE(changes, 1) << c.Name;
    }
}

// The stream properties of a bitmap through the component-stream writer and
// reader: Data as a binary value, and the draw settings.
TEST_F(DataStream, PropertiesThroughTheComponentStream) {
    TBitmap32 a;
    a.SetDimensions(3, 2);
    a.ClearToColor(0x80FF0000u);
    a.SetDrawMode(dmBlend);
    a.SetCombineMode(cmMerge);
    a.SetOuterColor(0xFFFFFFFFu);
    // An out-of-range master alpha is kept as it is; users clamp it.
    a.SetMasterAlpha(1000);
    static_cast<TBitmap32Resampler*>(a.Resampler())->SetPixelAccessMode(pamWrap);

    TMemoryStream s;
    {
        TWriter w(s);
        w.WriteProperties(&a);
        w.WriteListEnd();
    }
    // The Data value: name, tag 10, length 8 + 24, then the payload.
    const std::string bytes(s.View());
    const auto at = bytes.find("Data");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(Byte(bytes[at + 4]), vaBinary);
    std::int32_t len = 0;
    std::memcpy(&len, bytes.data() + at + 5, 4);
    EXPECT_EQ(len, 8 + 3 * 2 * 4);

    s.SetPosition(0);
    TBitmap32 b;
    {
        TReader r(s);
        r.ReadProperties(&b);
    }
    EXPECT_TRUE(b.Equals(&a));
    EXPECT_EQ(b.DrawMode(), dmBlend);
    EXPECT_EQ(b.CombineMode(), cmMerge);
    EXPECT_EQ(b.OuterColor(), 0xFFFFFFFFu);
    EXPECT_EQ(b.MasterAlpha(), 1000);
    EXPECT_EQ(b.EffectiveMasterAlpha(), 255u);
    EXPECT_EQ(b.ResamplerClassName(), "TNearestResampler");
    EXPECT_EQ(static_cast<TBitmap32Resampler*>(b.Resampler())->PixelAccessMode(), pamWrap);
}

TEST_F(DataStream, EmptyBitmapWritesNoData) {
    TBitmap32 a;
    TMemoryStream s;
    TWriter w(s);
    w.WriteProperties(&a);
    EXPECT_EQ(std::string(s.View()).find("Data"), std::string::npos);
}

TEST_F(DataStream, MalformedDataInsideTheComponentStreamRaisesAReadError) {
    TBitmap32 a;
    a.SetDimensions(2, 2);
    TMemoryStream s;
    {
        TWriter w(s);
        w.WriteProperties(&a);
        w.WriteListEnd();
    }
    // Claim a width of 3 while the payload still holds 2 x 2 pixels.
    std::string bytes(s.View());
    const auto at = bytes.find("Data");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 9] = 3;
    TStringStream in(bytes);
    TBitmap32 b;
    b.SetDimensions(5, 5);
    TReader r(in);
    // The reader keeps a property's error for the end of its component and
    // tells OnError of it first.
    std::vector<std::string> errors;
    r.OnError = [&](TReader&, const std::string& Message, bool&) { errors.push_back(Message); };
    r.ReadProperties(&b);
    EXPECT_EQ(errors, (std::vector<std::string>{SInvalidBitmapData}));
    EXPECT_TRUE(b.Empty());
}

} // namespace
