#include "raster/RasterImage.h"

#include "platform/classes/Filer.h"
#include "platform/classes/Stream.h"
#include "platform/forms/Messages.h"
#include "platform/graphics/Graphic.h"
#include "raster/RasterModule.h"
#include "support/StreamBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

class Image32 : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitRasterModules();
        InitGraphicsModule();
    }

    // An image of W x H whose bitmap is BW x BH.
    static std::unique_ptr<TImage32> Make(int W, int H, int BW, int BH) {
        auto I = std::make_unique<TImage32>(nullptr);
        I->SetBounds(0, 0, W, H);
        I->Bitmap()->SetDimensions(BW, BH);
        return I;
    }
};

constexpr TColor32 P00 = 0xFF102030u, P10 = 0xFF405060u, P01 = 0xFF708090u, P11 = 0xFFA0B0C0u;

void FillQuad(TBitmap32* B) {
    B->SetDimensions(2, 2);
    B->WritePixel(0, 0, P00);
    B->WritePixel(1, 0, P10);
    B->WritePixel(0, 1, P01);
    B->WritePixel(1, 1, P11);
    B->Changed();
}

} // namespace

TEST_F(Image32, BitmapRectAndMappingPerAlignAndScaleMode) {
    // smOptimal with a banner larger than the viewport resizes it.
    auto I = Make(400, 100, 468, 60);
    I->SetScaleMode(smOptimal);
    I->SetBitmapAlign(baCenter);
    EXPECT_EQ(I->GetBitmapSize(), (TSize{400, 51}));
    EXPECT_EQ(I->GetBitmapRect(), (TRect{0, 24, 400, 75}));
    EXPECT_EQ(I->BitmapToControl({234, 30}), (TPoint{200, 49}));
    EXPECT_EQ(I->ControlToBitmap({200, 49}), (TPoint{234, 29}));

    // smNormal centred: a point just outside maps outside the bitmap.
    I = Make(20, 20, 10, 10);
    I->SetBitmapAlign(baCenter);
    EXPECT_EQ(I->GetBitmapRect(), (TRect{5, 5, 15, 15}));
    EXPECT_EQ(I->ControlToBitmap({4, 4}), (TPoint{-1, -1}));
    EXPECT_EQ(I->ControlToBitmap({5, 14}), (TPoint{0, 9}));

    // smScale with custom offsets rounded half to even.
    I->SetScaleMode(smScale);
    I->SetScale(2.0f);
    I->SetBitmapAlign(baCustom);
    I->SetOffsetHorz(3.5f);
    I->SetOffsetVert(2.5f);
    EXPECT_EQ(I->GetBitmapRect(), (TRect{4, 2, 24, 22}));
    EXPECT_EQ(I->BitmapToControl({3, 3}), (TPoint{10, 8}));
    EXPECT_EQ(I->ControlToBitmap({11, 9}), (TPoint{3, 3}));

    // smOptimalScaled falls back to smResize when the scaled bitmap is too big.
    I->SetBounds(0, 0, 15, 30);
    I->SetScaleMode(smOptimalScaled);
    I->SetBitmapAlign(baTile);
    EXPECT_EQ(I->GetBitmapRect(), (TRect{0, 0, 15, 15}));

    I = Make(30, 20, 10, 5);
    I->SetScaleMode(smStretch);
    I->SetBitmapAlign(baCenter);
    EXPECT_EQ(I->GetBitmapRect(), (TRect{0, 0, 30, 20}));
    EXPECT_EQ(I->ControlToBitmap({29, 19}), (TPoint{9, 4}));

    I = Make(50, 200, 100, 50);
    I->SetScaleMode(smResize);
    EXPECT_EQ(I->GetBitmapSize(), (TSize{50, 25}));

    // Scale is never below 0.001; an empty bitmap has no rectangle.
    I->SetScale(0);
    EXPECT_FLOAT_EQ(I->Scale(), 0.001f);
    EXPECT_FLOAT_EQ(I->ScaleY(), 0.001f);
    I->Bitmap()->SetDimensions(0, 0);
    EXPECT_TRUE(I->GetBitmapRect().IsEmpty());
    EXPECT_EQ(I->ControlToBitmap({7, 9}), (TPoint{7, 9}));
}

TEST_F(Image32, PaintsStagesIntoTheBackBuffer) {
    auto I = Make(8, 6, 0, 0);
    I->SetColor(TColor(0x0000FF)); // red
    const TColor32 Back = 0xFFFF0000u;

    // An empty bitmap: the whole viewport takes the control colour.
    I->Repaint();
    for (int Y = 0; Y < 6; ++Y)
        for (int X = 0; X < 8; ++X)
            ASSERT_EQ(I->Buffer()->ReadPixel(X, Y), Back) << X << "," << Y;

    // Doubled with the nearest resampler: each pixel becomes a 2 x 2 block;
    // the bands around the bitmap keep the control colour.
    FillQuad(I->Bitmap());
    I->SetScaleMode(smScale);
    I->SetScale(2.0f);
    I->SetBitmapAlign(baCustom);
    I->SetOffsetHorz(1);
    I->Repaint();
    const TBitmap32* B = I->Buffer();
    EXPECT_EQ(B->ReadPixel(0, 0), Back);
    EXPECT_EQ(B->ReadPixel(1, 0), P00);
    EXPECT_EQ(B->ReadPixel(2, 1), P00);
    EXPECT_EQ(B->ReadPixel(3, 0), P10);
    EXPECT_EQ(B->ReadPixel(1, 3), P01);
    EXPECT_EQ(B->ReadPixel(4, 3), P11);
    EXPECT_EQ(B->ReadPixel(5, 2), Back);
    EXPECT_EQ(B->ReadPixel(1, 4), Back);
    // The control's own pixels are a copy of the buffer.
    const TPixelSurface& S = I->BufferSurface();
    ASSERT_TRUE(S.Valid());
    EXPECT_EQ(S.Row(3)[4], P11);
    EXPECT_EQ(S.Row(5)[7], Back);

    // Tiled: the bitmap repeats from the top-left corner.
    I->SetScaleMode(smNormal);
    I->SetBitmapAlign(baTile);
    I->Repaint();
    EXPECT_EQ(B->ReadPixel(2, 2), P00);
    EXPECT_EQ(B->ReadPixel(7, 4), P10);
    EXPECT_EQ(B->ReadPixel(6, 5), P01);

    // Stretched through the bitmap's own resampler, exactly as it draws.
    I->SetBitmapAlign(baTopLeft);
    I->SetScaleMode(smStretch);
    I->Bitmap()->SetResamplerClassName("TLinearResampler");
    ASSERT_EQ(I->Bitmap()->ResamplerClassName(), "TLinearResampler");
    I->Repaint();
    TBitmap32 Ref;
    Ref.SetDimensions(8, 6);
    I->Bitmap()->DrawOntoRect(&Ref, {0, 0, 8, 6});
    for (int Y = 0; Y < 6; ++Y)
        for (int X = 0; X < 8; ++X)
            ASSERT_EQ(B->ReadPixel(X, Y), Ref.ReadPixel(X, Y)) << X << "," << Y;
    const TColor32 Mid = B->ReadPixel(4, 3);
    EXPECT_TRUE(Mid != P00 && Mid != P10 && Mid != P01 && Mid != P11);

    // A custom stage runs after the others with its own number.
    TPaintStage* St = I->PaintStages()->Add();
    St->Stage = pskCustom;
    Cardinal Seen = 0;
    I->OnPaintStage = [&](TObject*, TBitmap32* Buf, Cardinal N) {
        Seen = N;
        Buf->FillRectangle(0, 0, 1, 1, 0xFF00FF00u);
    };
    I->Repaint();
    EXPECT_EQ(Seen, 5u);
    EXPECT_EQ(B->ReadPixel(0, 0), 0xFF00FF00u);
}

TEST_F(Image32, RenderStagesIntoAnotherBitmap) {
    auto I = Make(100, 100, 0, 0);
    FillQuad(I->Bitmap());
    I->SetColor(TColor(0xFFFFFF));
    TBitmap32 Dest;
    Dest.SetDimensions(6, 2);
    I->RenderStagesInto(&Dest, {1, 0, 5, 2});
    EXPECT_EQ(Dest.ReadPixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(Dest.ReadPixel(1, 0), P00);
    EXPECT_EQ(Dest.ReadPixel(4, 1), P11);
    EXPECT_EQ(Dest.ReadPixel(5, 1), 0xFFFFFFFFu);
    // The control's own geometry is back afterwards.
    EXPECT_EQ(I->GetBitmapRect(), (TRect{0, 0, 2, 2}));
}

TEST_F(Image32, BufferGrowsWithSlackAndShrinksOnlyPastIt) {
    auto I = Make(100, 100, 0, 0);
    EXPECT_EQ(I->Buffer()->Width(), 100); // shrunk from the first 192 + 40
    I->SetBounds(0, 0, 120, 100);
    EXPECT_EQ(I->Buffer()->Width(), 160);
    I->SetBounds(0, 0, 130, 100);
    EXPECT_EQ(I->Buffer()->Width(), 160);
    I->SetBounds(0, 0, 120, 100);
    EXPECT_EQ(I->Buffer()->Width(), 160); // exactly 40 too large: kept
    I->SetBounds(0, 0, 119, 0);
    EXPECT_EQ(I->Buffer()->Width(), 119);
    EXPECT_EQ(I->Buffer()->Height(), 1); // a viewport of 0 needs 1
}

TEST_F(Image32, UpdatesPairAndChangeEvents) {
    TImage32 I(nullptr);
    int Changes = 0, Scales = 0;
    I.OnChange = [&](TObject*) { ++Changes; };
    I.OnScaleChange = [&](TObject*) { ++Scales; };
    I.SetScale(1.0f);
    EXPECT_EQ(Scales, 0);
    I.BeginUpdate();
    I.SetScale(3.0f);
    EXPECT_EQ(Changes, 0);
    EXPECT_EQ(Scales, 1);
    I.EndUpdate();
    try {
        I.EndUpdate();
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), "Unpaired EndUpdate call");
    }
    I.Bitmap()->SetDimensions(3, 3);
    EXPECT_GE(Changes, 1);
}

TEST_F(Image32, StreamsAsTheDocumentWritesIt) {
    TImage32 I(nullptr);
    I.SetName("Image1");
    I.SetBounds(5, 6, 2, 1);
    I.Bitmap()->SetDimensions(2, 1);
    I.Bitmap()->WritePixel(0, 0, 0x80112233u);
    I.Bitmap()->WritePixel(1, 0, 0x00AABBCCu);
    I.Bitmap()->SetDrawMode(dmBlend);
    I.Bitmap()->SetOuterColor(2147483647u);
    I.SetBitmapAlign(baCenter);
    I.SetColor(clBtnFace);
    I.SetVisible(false);

    TBytesStream Out;
    TWriter W(Out);
    W.WriteRootComponent(&I);
    // clang-format off
    const Bytes Expected = Cat({
        {'T', 'P', 'F', '0'}, Str("TImage32"), Str("Image1"),
        Str("Left"), {0x02, 5}, Str("Top"), {0x02, 6},
        Str("Width"), {0x02, 2}, Str("Height"), {0x02, 1},
        Str("Bitmap.DrawMode"), {0x07}, Str("dmBlend"),
        Str("Bitmap.OuterColor"), {0x04, 0xFF, 0xFF, 0xFF, 0x7F},
        Str("Bitmap.ResamplerClassName"), {0x06}, Str("TNearestResampler"),
        Str("Bitmap.Data"), {0x0A, 16, 0, 0, 0,
                             2, 0, 0, 0, 1, 0, 0, 0,
                             0x33, 0x22, 0x11, 0x80, 0xCC, 0xBB, 0xAA, 0x00},
        Str("BitmapAlign"), {0x07}, Str("baCenter"),
        Str("Color"), {0x07}, Str("clBtnFace"),
        Str("ParentColor"), {0x08},
        Str("Scale"), {0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F},
        Str("ScaleMode"), {0x07}, Str("smNormal"),
        Str("Visible"), {0x08},
        {0x00, 0x00}});
    // clang-format on
    EXPECT_EQ(Out.Bytes(), Expected);

    // Read back into a fresh control.
    TBytesStream In(Expected);
    TReader R(In);
    TImage32 J(nullptr);
    R.ReadRootComponent(&J);
    EXPECT_EQ(J.BoundsRect(), (TRect{5, 6, 7, 7}));
    EXPECT_EQ(J.BitmapAlign(), baCenter);
    EXPECT_EQ(J.Color(), clBtnFace);
    EXPECT_FALSE(J.ParentColor());
    EXPECT_FALSE(J.Visible());
    EXPECT_EQ(J.Bitmap()->DrawMode(), dmBlend);
    EXPECT_EQ(J.Bitmap()->OuterColor(), 2147483647u);
    ASSERT_EQ(J.Bitmap()->Width(), 2);
    EXPECT_EQ(J.Bitmap()->ReadPixel(0, 0), 0x80112233u);
    EXPECT_EQ(J.Bitmap()->ReadPixel(1, 0), 0x00AABBCCu);

    // An empty picture writes no Data; the always-written ones stay.
    TImage32 E(nullptr);
    E.SetName("extimage");
    TBytesStream Out2;
    TWriter W2(Out2);
    W2.WriteRootComponent(&E);
    const Bytes Got = Out2.Bytes();
    const Bytes Tail = Cat({Str("Bitmap.ResamplerClassName"),
                            {0x06},
                            Str("TNearestResampler"),
                            Str("BitmapAlign"),
                            {0x07},
                            Str("baTopLeft"),
                            Str("Scale")});
    EXPECT_NE(std::search(Got.begin(), Got.end(), Tail.begin(), Tail.end()), Got.end());
}

TEST_F(Image32, MouseMessagesCarryTheLayerAndMapToTheBitmap) {
    auto I = Make(40, 40, 10, 10);
    I->SetBitmapAlign(baCenter);
    I->SetScaleMode(smScale);
    I->SetScale(2.0f); // bitmap at (10, 10, 30, 30)
    std::vector<TPoint> Down;
    std::vector<TCustomLayer*> Layers;
    I->OnMouseDown = [&](TObject* S, TMouseButton B, TShiftState, int X, int Y, TCustomLayer* L) {
        EXPECT_EQ(S, I.get());
        EXPECT_EQ(B, mbLeft);
        Down.push_back(I->ControlToBitmap({X, Y}));
        Layers.push_back(L);
    };
    int Ups = 0;
    I->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int, TCustomLayer*) { ++Ups; };
    TPoint Moved{};
    I->OnMouseMove = [&](TObject*, TShiftState, int X, int Y, TCustomLayer*) {
        Moved = I->ControlToBitmap({X, Y});
    };

    I->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(15, 29));
    EXPECT_EQ(GetCaptureControl(), I.get());
    I->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(9, 30));
    EXPECT_EQ(Moved, (TPoint{-1, 10}));
    I->Perform(WM_LBUTTONUP, 0, MakeLParam(9, 30));
    EXPECT_EQ(GetCaptureControl(), nullptr);
    EXPECT_EQ(Ups, 1);

    // A layer that takes mouse events is named in the event.
    TCustomLayer* L = I->Layers()->Add<TCustomLayer>();
    L->SetLayerOptions(LOB_VISIBLE | LOB_MOUSE_EVENTS);
    I->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(20, 20));
    I->Perform(WM_LBUTTONUP, 0, MakeLParam(20, 20));
    I->Layers()->SetMouseEvents(false);
    I->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(21, 21));
    I->Perform(WM_LBUTTONUP, 0, MakeLParam(21, 21));

    ASSERT_EQ(Down.size(), 3u);
    EXPECT_EQ(Down[0], (TPoint{2, 9}));
    EXPECT_EQ(Down[1], (TPoint{5, 5}));
    EXPECT_EQ(Layers[0], nullptr);
    EXPECT_EQ(Layers[1], L);
    EXPECT_EQ(Layers[2], nullptr);
}

TEST_F(Image32, DirectAndOptimizedModesRepaintOnlyWhatChanged) {
    for (TRepaintMode Mode : {rmDirect, rmOptimizer}) {
        auto I = Make(6, 6, 0, 0);
        FillQuad(I->Bitmap());
        I->SetRepaintMode(Mode);
        I->Repaint();
        ASSERT_EQ(I->Buffer()->ReadPixel(0, 0), P00);
        EXPECT_FALSE(I->ForceFullRepaint());

        // A pixel written behind the buffer's back is not repainted; the area
        // the bitmap reports is.
        I->Buffer()->WritePixel(5, 5, 0xFF123456u);
        I->Bitmap()->FillRectangle(0, 0, 1, 1, 0xFF00FF00u);
        if (Mode == rmOptimizer) {
            EXPECT_FALSE(I->BufferValid());
            I->Update();
        }
        EXPECT_TRUE(I->BufferValid());
        EXPECT_EQ(I->Buffer()->ReadPixel(0, 0), 0xFF00FF00u) << int(Mode);
        EXPECT_EQ(I->BufferSurface().Row(0)[0], 0xFF00FF00u) << int(Mode);
        EXPECT_EQ(I->Buffer()->ReadPixel(5, 5), 0xFF123456u) << int(Mode);
        EXPECT_EQ(I->InvalidRects()->Count(), 0);
    }
}
