#include "raster/RasterKernelResamplers.h"
#include "raster/RasterModule.h"

#include "platform/classes/Filer.h"
#include "platform/classes/Stream.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr TColor32 Poison = 0xFFFF00FFu;

class KernelResampler : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
};

int RowSum(const TIntegerMap& T, int Row) {
    int s = 0;
    for (int x = 0; x < T.Width(); ++x)
        s += T.Value(x, Row);
    return s;
}

} // namespace

TEST_F(KernelResampler, WeightTableRowsUseIOverTableSizeMinusOne) {
    TLinearKernel lin;
    TIntegerMap table;
    BuildKernelWeightTable(lin, 32, table);
    ASSERT_EQ(table.Width(), 3);
    ASSERT_EQ(table.Height(), 33);
    // Row 0: f = 0 -> (0, 256, 0). Row 31: f = 1 -> (256, 0, 0).
    EXPECT_EQ(table.Value(0, 0), 0);
    EXPECT_EQ(table.Value(1, 0), 256);
    EXPECT_EQ(table.Value(0, 31), 256);
    EXPECT_EQ(table.Value(1, 31), 0);
    // Row 32: f = 32 / 31: j = -1 gives Round(0.9677 * 256) = 248, and the
    // centre entry takes the missing 8.
    EXPECT_EQ(table.Value(0, 32), 248);
    EXPECT_EQ(table.Value(1, 32), 8);
    EXPECT_EQ(table.Value(2, 32), 0);

    TLanczosKernel lanczos;
    BuildKernelWeightTable(lanczos, 7, table);
    ASSERT_EQ(table.Width(), 7);
    for (int row = 0; row < table.Height(); ++row)
        EXPECT_EQ(RowSum(table, row), 256) << row;
}

TEST_F(KernelResampler, PropertiesNotifyAndRefuseWhatTheyCannotUse) {
    TBitmap32 bmp;
    int changes = 0;
    bmp.OnChange = [&](TObject*) { ++changes; };
    auto* r = new TKernelResampler(&bmp);
    changes = 0;
    EXPECT_EQ(r->KernelClassName(), "TBoxKernel");
    EXPECT_EQ(r->KernelMode(), kmDynamic);
    EXPECT_EQ(r->TableSize(), 32);

    for (int bad : {1, 0, -5, TKernelResampler::MaxKernelTableSize + 1})
        r->SetTableSize(bad);
    EXPECT_EQ(r->TableSize(), 32);
    EXPECT_EQ(changes, 0);
    r->SetTableSize(2);
    EXPECT_EQ(r->TableSize(), 2);
    EXPECT_EQ(changes, 1);

    r->SetKernelClassName("tcubickernel"); // wrong case: ignored
    r->SetKernelClassName("TNoSuchKernel");
    r->SetKernelClassName("");
    EXPECT_EQ(r->KernelClassName(), "TBoxKernel");
    EXPECT_EQ(changes, 1);
    r->SetKernelClassName("TCubicKernel");
    EXPECT_EQ(r->KernelClassName(), "TCubicKernel");
    EXPECT_EQ(r->GetWidth(), 2);
    EXPECT_EQ(changes, 2);

    // A parameter change of the owned kernel reaches the bitmap.
    static_cast<TCubicKernel*>(r->Kernel())->SetCoeff(-1);
    EXPECT_EQ(changes, 3);
    r->SetKernel(nullptr);
    r->SetKernel(r->Kernel());
    EXPECT_EQ(changes, 3);
    r->SetKernelMode(kmTableLinear);
    r->SetKernelMode(kmTableLinear);
    EXPECT_EQ(changes, 4);

    // Assign copies the kernel class, its parameters and the modes.
    TBitmap32 other;
    auto* copy = new TKernelResampler(&other);
    copy->Assign(r);
    EXPECT_EQ(copy->KernelClassName(), "TCubicKernel");
    EXPECT_EQ(static_cast<TCubicKernel*>(copy->Kernel())->Coeff(), -1);
    EXPECT_EQ(copy->KernelMode(), kmTableLinear);
    EXPECT_EQ(copy->TableSize(), 2);
}

TEST_F(KernelResampler, FloatSampleInEachKernelMode) {
    TBitmap32 bmp;
    bmp.SetDimensions(3, 1);
    bmp.WritePixel(0, 0, 0xFF000000u);
    bmp.WritePixel(1, 0, 0xFF0000C8u);
    bmp.WritePixel(2, 0, 0xFF0000C8u);
    auto* r = new TKernelResampler(&bmp);
    r->SetKernel(new TLinearKernel());
    // Half-way between columns 0 and 1. Dynamic: 128 / 128 -> 100.
    // Nearest table row Round(0.5 * 31) = 16 (f = 16/31): 132 / 124 -> 96.
    // Linear table: rows 15 and 16 interpolated -> 128 / 128 -> 100.
    const struct {
        TKernelMode Mode;
        Cardinal Blue;
    } cases[] = {{kmDynamic, 100}, {kmTableNearest, 96}, {kmTableLinear, 100}};
    for (const auto& c : cases) {
        r->SetKernelMode(c.Mode);
        r->BeginSampling();
        EXPECT_EQ(r->WeightTable() != nullptr, c.Mode != kmDynamic);
        const TColor32 s = r->GetSampleFloat(0.5f, 0);
        EXPECT_EQ(s & 0xFF, c.Blue) << int(c.Mode);
        EXPECT_EQ(s >> 24, 0xFFu) << int(c.Mode);
        // Whole positions give the pixel itself.
        EXPECT_EQ(r->GetSampleFloat(1, 0), 0xFF0000C8u);
        r->EndSampling();
        EXPECT_EQ(r->WeightTable(), nullptr);
    }
}

TEST_F(KernelResampler, FloatSampleAccessModes) {
    TBitmap32 bmp;
    bmp.SetDimensions(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            bmp.WritePixel(x, y, MakeColor32(x, y, 7, 255));
    bmp.SetOuterColor(0x11223344u);
    auto* r = new TKernelResampler(&bmp); // box kernel
    r->BeginSampling();
    EXPECT_EQ(r->GetSampleFloat(2, 3), MakeColor32(2, 3, 7, 255));
    EXPECT_EQ(r->GetSampleFloat(4, 0), 0x11223344u); // outside the clip rectangle
    EXPECT_EQ(r->GetSampleFloat(-1, 2), 0x11223344u);
    r->EndSampling();

    bmp.SetWrapMode(wmRepeat);
    r->SetPixelAccessMode(pamWrap);
    r->BeginSampling();
    EXPECT_EQ(r->GetSampleFloat(-1, 5), MakeColor32(3, 1, 7, 255));
    r->EndSampling();

    // Unchecked access still never reads beyond the pixels.
    r->SetPixelAccessMode(pamUnsafe);
    r->SetKernel(new TLanczosKernel());
    r->BeginSampling();
    (void)r->GetSampleFloat(3.5f, 3.5f);
    (void)r->GetSampleFloat(-50, 1000);
    r->EndSampling();
}

TEST_F(KernelResampler, ResampleClipsLikeTheWholeAndClampsOvershoot) {
    // A step edge enlarged through a kernel with negative lobes: the
    // overshoot is limited to 0..255 (no wrap to the other end).
    TBitmap32 src;
    src.SetDimensions(10, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 10; ++x)
            src.WritePixel(x, y, x < 5 ? 0xFF000000u : 0xFFFFFFFFu);
    auto* r = new TKernelResampler(&src);
    for (const char* kernel : {"TCubicKernel", "TLanczosKernel", "TSinshKernel", "TBoxKernel",
                               "TGaussianKernel", "THermiteKernel"}) {
        r->SetKernelClassName(kernel);
        TBitmap32 whole, part;
        whole.SetDimensions(30, 3);
        part.SetDimensions(30, 3);
        r->Resample(&whole, whole.BoundsRect(), whole.BoundsRect(), &src, src.BoundsRect(),
                    dmOpaque, nullptr);
        for (int x = 0; x < 30; ++x) {
            const int v = int(whole.ReadPixel(x, 1) & 0xFF);
            if (x < 12) {
                EXPECT_LT(v, 128) << kernel << " " << x;
            }
            if (x > 17) {
                EXPECT_GT(v, 128) << kernel << " " << x;
            }
        }
        // A clip starting where a list's centre falls on a pixel: its
        // neighbours reach further left than the first list.
        part.ClearToColor(Poison);
        const TRect clip{4, 1, 30, 3};
        r->Resample(&part, part.BoundsRect(), clip, &src, src.BoundsRect(), dmOpaque, nullptr);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 30; ++x)
                EXPECT_EQ(part.ReadPixel(x, y),
                          PtInRect(clip, {x, y}) ? whole.ReadPixel(x, y) : Poison)
                    << kernel << " " << x << "," << y;
    }
}

TEST_F(KernelResampler, ShrinkingWithTheBoxKernelAverages) {
    TBitmap32 src, dst;
    src.SetDimensions(4, 2);
    const int blue[4] = {10, 30, 100, 200};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            src.WritePixel(x, y, 0xFF000000u | Cardinal(blue[x]));
    auto* r = new TKernelResampler(&src);
    dst.SetDimensions(2, 1);
    r->Resample(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, src.BoundsRect(), dmOpaque,
                nullptr);
    // Box kernel at half scale: taps of 128 on each pair.
    EXPECT_EQ(dst.ReadPixel(0, 0), 0xFF000000u | 20u);
    EXPECT_EQ(dst.ReadPixel(1, 0), 0xFF000000u | 150u);
}

TEST_F(KernelResampler, KernelAndModesThroughTheComponentStream) {
    TBitmap32 a;
    a.SetResamplerClassName("TKernelResampler");
    auto* r = static_cast<TKernelResampler*>(a.Resampler());
    r->SetKernelClassName("TGaussianKernel");
    static_cast<TGaussianKernel*>(r->Kernel())->SetSigma(2.5f);
    static_cast<TGaussianKernel*>(r->Kernel())->SetWidth(4);
    r->SetKernelMode(kmTableNearest);
    r->SetTableSize(64);
    r->SetPixelAccessMode(pamWrap);

    TMemoryStream s;
    {
        TWriter w(s);
        w.WriteProperties(&a);
        w.WriteListEnd();
    }
    s.SetPosition(0);
    TBitmap32 b;
    {
        TReader rd(s);
        rd.ReadProperties(&b);
    }
    ASSERT_EQ(b.ResamplerClassName(), "TKernelResampler");
    auto* rb = static_cast<TKernelResampler*>(b.Resampler());
    ASSERT_EQ(rb->KernelClassName(), "TGaussianKernel");
    EXPECT_EQ(static_cast<TGaussianKernel*>(rb->Kernel())->Sigma(), 2.5f);
    EXPECT_EQ(rb->Kernel()->GetWidth(), 4);
    EXPECT_EQ(rb->KernelMode(), kmTableNearest);
    EXPECT_EQ(rb->TableSize(), 64);
    EXPECT_EQ(rb->PixelAccessMode(), pamWrap);
}
