#include "menus/MenuGraphics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/forms/Application.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Screen.h"

namespace {

constexpr TColor Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000;

std::unique_ptr<TBitmap> MakeBitmap(int W, int H, TColor Fill) {
    auto B = std::make_unique<TBitmap>(W, H, pf32bit);
    B->Canvas()->Brush()->SetColor(Fill);
    B->Canvas()->FillRect({0, 0, W, H});
    return B;
}

std::vector<TColor> Pixels(TBitmap& B) {
    std::vector<TColor> R;
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            R.push_back(B.PixelColor(x, y));
    return R;
}

using Colors = std::vector<TColor>;

} // namespace

TEST(KeyedCopy, TransparentColourRules) {
    // Red, a green pixel at (1, 0), a blue bottom-left pixel.
    auto Glyph = MakeBitmap(3, 2, Red);
    Glyph->Canvas()->SetPixels(1, 0, Green);
    Glyph->Canvas()->SetPixels(0, 1, Blue);
    auto Paint = [&](TColor Key, TBitmap* Source) {
        auto D = MakeBitmap(Source->Width(), Source->Height(), clWhite);
        PaintBitmapKeyed(D->Canvas(), 0, 0, Key, Source);
        return Pixels(*D);
    };
    EXPECT_EQ(Paint(clNone, Glyph.get()), (Colors{Red, Green, Red, Blue, Red, Red}));
    EXPECT_EQ(Paint(Green, Glyph.get()), (Colors{Red, clWhite, Red, Blue, Red, Red}));
    EXPECT_EQ(Paint(0x02000000 | Green, Glyph.get()), (Colors{Red, clWhite, Red, Blue, Red, Red}));
    EXPECT_EQ(Paint(clDefault, Glyph.get()), (Colors{Red, Green, Red, clWhite, Red, Red}));

    // System colours are resolved.
    auto Face = MakeBitmap(2, 1, ColorToRGB(clBtnFace));
    Face->Canvas()->SetPixels(1, 0, Red);
    EXPECT_EQ(Paint(clBtnFace, Face.get()), (Colors{clWhite, Red}));

    // A monochrome bitmap keys on white whatever colour is given.
    TBitmap Mono(2, 1, pf1bit);
    Mono.SetMonochrome(true);
    Mono.Canvas()->SetPixels(0, 0, clBlack);
    Mono.Canvas()->SetPixels(1, 0, clWhite);
    auto D = MakeBitmap(2, 1, Red);
    PaintBitmapKeyed(D->Canvas(), 0, 0, clBlack, &Mono);
    EXPECT_EQ(Pixels(*D), (Colors{clBlack, Red}));
}

TEST(KeyedCopy, StretchSizesAndDestinationBytes) {
    // 2x2 red source with its top-right pixel keyed, stretched to 4x4 at (1, 1).
    auto S = MakeBitmap(2, 2, Red);
    S->Canvas()->SetPixels(1, 0, Green);
    auto D = MakeBitmap(6, 6, clWhite);
    D->ScanLine(1)[3 * 4 + 3] = 0x7F; // alpha of a pixel the key keeps
    std::uint32_t Kept;
    std::memcpy(&Kept, D->ScanLine(1) + 3 * 4, 4);
    D->Canvas()->SetCopyMode(cmNotSrcCopy);
    StretchBitmapKeyed(D->Canvas(), S.get(), Green, 1, 1, 4, 4, 0, 0, 0, 0);
    EXPECT_EQ(D->Canvas()->CopyMode(), cmNotSrcCopy);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool Inside = x >= 1 && x < 5 && y >= 1 && y < 5;
            const bool Keyed = Inside && x >= 3 && y < 3;
            EXPECT_EQ(D->PixelColor(x, y), Inside && !Keyed ? Red : clWhite) << x << "," << y;
        }
    EXPECT_EQ(std::memcmp(&Kept, D->ScanLine(1) + 3 * 4, 4), 0);

    // A destination size below 1 takes the bitmap's; a source part.
    D = MakeBitmap(3, 3, clWhite);
    StretchBitmapKeyed(D->Canvas(), S.get(), clBlue, 1, 1, 0, -1, 1, 0, 1, 1);
    EXPECT_EQ(Pixels(*D),
              (Colors{clWhite, clWhite, clWhite, clWhite, Green, Green, clWhite, Green, Green}));

    // Source pixels outside the bitmap leave the destination.
    D = MakeBitmap(3, 1, clWhite);
    StretchBltKeyed(D->Canvas(), 0, 0, 3, 1, S->Canvas(), 0, 1, 3, 1, clBlue);
    EXPECT_EQ(Pixels(*D), (Colors{Red, Red, clWhite}));
    // Onto itself: the source is read before anything is written.
    auto Self = MakeBitmap(3, 1, Red);
    Self->Canvas()->SetPixels(1, 0, Green);
    Self->Canvas()->SetPixels(2, 0, Blue);
    StretchBltKeyed(Self->Canvas(), 1, 0, 2, 1, Self->Canvas(), 0, 0, 2, 1, Green);
    EXPECT_EQ(Pixels(*Self), (Colors{Red, Red, Blue}));
    EXPECT_THROW(StretchBltKeyed(D->Canvas(), 0, 0, 1, 1, S->Canvas(), 0, 0, 5000, 5000, clBlue),
                 EOutOfResources);
}

TEST(DisabledDrawing, MaskColourAndImageMask) {
    // The mask colour (black) at (0, 0) and (2, 1).
    auto B = MakeBitmap(3, 3, clWhite);
    B->Canvas()->SetPixels(0, 0, clBlack);
    B->Canvas()->SetPixels(2, 1, clBlack);
    const TColor Bk = clSilver, Fc = 0x808080, Hi = 0x00FFFF;
    auto R = MakeDisabledBitmap(B.get(), clBlack, Bk, true, Fc, Hi);
    EXPECT_EQ(Pixels(*R), (Colors{Fc, Bk, Bk, Bk, Hi, Fc, Bk, Bk, Bk}));
    R = MakeDisabledBitmap(B.get(), clBlack, Bk, false, Fc, Hi);
    EXPECT_EQ(Pixels(*R), (Colors{Fc, Bk, Bk, Bk, Bk, Fc, Bk, Bk, Bk}));

    // Monochrome: the black pixels, whatever the mask colour.
    TBitmap Mono(2, 1, pf1bit);
    Mono.SetMonochrome(true);
    Mono.Canvas()->SetPixels(0, 0, clBlack);
    Mono.Canvas()->SetPixels(1, 0, clWhite);
    EXPECT_EQ(Pixels(*MakeDisabledBitmap(&Mono, Red, Bk, false, Fc, Hi)), (Colors{Fc, Bk}));

    // An image drawn as its mask: dark where opaque.
    auto Mask = MakeBitmap(2, 2, clWhite);
    Mask->Canvas()->SetPixels(0, 0, clBlack);
    auto D = MakeBitmap(3, 3, Blue);
    D->Canvas()->Brush()->SetColor(Green);
    DrawDisabledMask(D->Canvas(), 0, 0, Mask.get(), true, Red, clWhite);
    EXPECT_EQ(D->Canvas()->Brush()->Color(), Green);
    EXPECT_EQ(Pixels(*D), (Colors{Red, Blue, Blue, Blue, clWhite, Blue, Blue, Blue, Blue}));
}

TEST(Glyphs, CutsTheIndexedPiece) {
    // 4 columns x 2 rows of 2x3 pieces; piece i has colour i + 1.
    auto Strip = MakeBitmap(8, 6, clBlack);
    for (int i = 0; i < 8; ++i) {
        Strip->Canvas()->Brush()->SetColor(TColor(i + 1));
        Strip->Canvas()->FillRect(Bounds((i % 4) * 2, (i / 4) * 3, 2, 3));
    }
    Strip->SetTransparentColor(Red);
    TBitmap T;
    CutGlyph(Strip.get(), &T, 4, 6, 2);
    EXPECT_EQ(Pixels(T), Colors(6, 7));
    EXPECT_EQ(T.TransparentColor(), Red);
    EXPECT_FALSE(T.Transparent());

    // Count and rows below 1 are 1, a negative index 0.
    CutGlyph(Strip.get(), &T, 0, -3, 0);
    EXPECT_EQ(T.Width() * 100 + T.Height(), 806);
    Strip->SetTransparent(true);
    CutGlyph(Strip.get(), &T, 4, 1, 1);
    EXPECT_EQ(Pixels(T), (Colors{2, 2, 2, 2, 2, 2, 6, 6, 6, 6, 6, 6}));
    EXPECT_TRUE(T.Transparent());
}

TEST(Gradient, BandsStepsAndEnds) {
    // 10 rows, 4 colours: bands of 2 rows, the last 2 in the end colour.
    // Red 0 -> 90 in steps of MulDiv(k, 90, 3); blue 255 -> 0 likewise.
    auto B = MakeBitmap(1, 12, clWhite);
    B->Canvas()->Brush()->SetColor(Green);
    const TColor S = Blue, E = 90, B1 = 30 | (170 << 16), B2 = 60 | (85 << 16);
    const Colors Want = {clWhite, S, S, B1, B1, B2, B2, E, E, E, E, clWhite};
    GradientFill(B->Canvas(), {0, 1, 1, 11}, S, 4, gdTopToBottom, E);
    EXPECT_EQ(Pixels(*B), Want);
    EXPECT_EQ(B->Canvas()->Brush()->Color(), Green);
    GradientFill(B->Canvas(), {0, 1, 1, 11}, E, 4, gdBottomToTop, S);
    EXPECT_EQ(Pixels(*B), Want);

    // MulDiv rounds half away from zero: 127.5 -> 128, -127.5 -> -128.
    auto H = MakeBitmap(3, 1, clWhite);
    GradientFill(H->Canvas(), {0, 0, 3, 1}, clBlack, 200, gdLeftToRight, Red);
    EXPECT_EQ(Pixels(*H), (Colors{clBlack, 128, Red}));
    GradientFill(H->Canvas(), {0, 0, 3, 1}, clBlack, 200, gdRightToLeft, Red);
    EXPECT_EQ(Pixels(*H), (Colors{Red, 127, clBlack}));

    // Five columns, two colours: bands of 2, the rest in the end colour.
    auto W = MakeBitmap(5, 1, clWhite);
    GradientFill(W->Canvas(), {0, 0, 5, 1}, Red, 2, gdLeftToRight, Blue);
    EXPECT_EQ(Pixels(*W), (Colors{Red, Red, Blue, Blue, Blue}));
    // One column: two empty bands, the end colour fills it.
    GradientFill(W->Canvas(), {1, 0, 2, 1}, Green, 8, gdLeftToRight, clBlack);
    EXPECT_EQ(W->PixelColor(1, 0), clBlack);
    // Solid fills, then nothing for two clNone or an empty rectangle.
    GradientFill(W->Canvas(), {0, 0, 5, 1}, Red, 1, gdLeftToRight, Blue);
    EXPECT_EQ(Pixels(*W), Colors(5, Red));
    GradientFill(W->Canvas(), {0, 0, 5, 1}, Green, 8, gdRightToLeft, Green);
    GradientFill(W->Canvas(), {0, 0, 5, 1}, clNone, 8, gdLeftToRight, clNone);
    GradientFill(W->Canvas(), {2, 0, 2, 1}, Red, 8, gdLeftToRight, Blue);
    EXPECT_EQ(Pixels(*W), Colors(5, Green));
}

TEST(SmallHelpers, RectanglesBitSetsAndReferences) {
    EXPECT_EQ(RectWidth({5, 0, 2, 0}), 3);
    EXPECT_EQ(RectHeight({0, 6, 0, -1}), 7);
    const TRect Outer{0, 0, 10, 10};
    EXPECT_TRUE(RectInRect(Outer, Outer));
    EXPECT_FALSE(RectInRect({-1, 3, 5, 5}, Outer));
    EXPECT_FALSE(RectInRect({2, 3, 5, 11}, Outer));
    std::array<Byte, 32> Set{};
    Set[31] = 0x80;
    EXPECT_TRUE(BitInSet(Set, 255));
    EXPECT_FALSE(BitInSet(Set, 254));

    struct TWatcher : TComponent {
        using TComponent::TComponent;
        TComponent* Ref = nullptr;
        int Links = 0;
        void RegisterChanges(int*) { ++Links; }
        void UnRegisterChanges(int*) { --Links; }
        void Notification(TComponent* C, TOperation Op) override {
            TComponent::Notification(C, Op);
            if (Op == opRemove && C == Ref) Ref = nullptr;
        }
    };
    TWatcher Owner(nullptr);
    auto* First = new TComponent(nullptr);
    auto* Second = new TComponent(nullptr);
    EXPECT_FALSE(ReplaceComponentReference<TComponent>(nullptr, First, Owner.Ref));
    EXPECT_TRUE(ReplaceComponentReference<TComponent>(&Owner, First, Owner.Ref));
    EXPECT_FALSE(ReplaceComponentReference<TComponent>(&Owner, First, Owner.Ref));
    EXPECT_TRUE(ReplaceComponentReference<TComponent>(&Owner, Second, Owner.Ref));
    delete First; // no longer watched
    EXPECT_EQ(Owner.Ref, Second);
    delete Second;
    EXPECT_EQ(Owner.Ref, nullptr);

    TWatcher ListA(nullptr), ListB(nullptr);
    TWatcher* Var = nullptr;
    int Link = 0;
    ReplaceImageListReference(&Owner, &ListA, Var, &Link);
    ReplaceImageListReference(&Owner, &ListB, Var, &Link);
    EXPECT_EQ(ListA.Links * 10 + ListB.Links, 1);
    ReplaceImageListReference<TWatcher>(&Owner, nullptr, Var, &Link);
    EXPECT_EQ(ListB.Links, 0);
}

TEST(ApplicationServices, MessageBoxUtilityWindowAndCursors) {
    InitForms();
    TScriptedDialogService Dialogs;
    {
        TDialogServiceScope Scope(&Dialogs);
        Application->SetTitle("Titre");
        Dialogs.Answers = {IDOK, IDCANCEL};
        EXPECT_EQ(ApplicationMessageBox("a", "", MB_OK), IDOK);
        EXPECT_EQ(ApplicationMessageBox("b", "Légende", MB_OKCANCEL), IDCANCEL);
    }
    ASSERT_EQ(Dialogs.Calls.size(), 2u);
    EXPECT_EQ(Dialogs.Calls[0].Caption, "Titre");
    EXPECT_EQ(Dialogs.Calls[1].Caption, "Légende");

    HWND W = AllocateUtilityWindow("TTimerWindow", [](TMessage& M) {
        EXPECT_EQ(M.Result, 0);
        M.Result = LRESULT(M.Msg) + 1;
    });
    HWND Plain = AllocateUtilityWindow("TTimerWindow");
    EXPECT_EQ(SendMessage(W, 0x0113, 1, 0), 0x0114);
    EXPECT_EQ(SendMessage(Plain, 0x0113), 0);
    DeallocateUtilityWindow(W);
    DeallocateUtilityWindow(Plain);
    EXPECT_FALSE(IsWindow(W));

    InitMenuGraphics();
    EXPECT_EQ(Screen->Cursors(crStockMultiDrag), SystemCursor(crMultiDrag));
    EXPECT_EQ(Screen->Cursors(crStockDrag), SystemCursor(crDrag));
    EXPECT_EQ(Screen->Cursors(crStockMultiDrag3), SystemCursor(crMultiDrag));
    DoneMenuGraphics();
    DoneForms();
}

namespace {
TColor32 PerChannel(TColor32 F, TColor32 B, int W, bool ScaleBy255) {
    TColor32 R = 0;
    for (int s = 0; s < 32; s += 8) {
        const int f = int((F >> s) & 255), b = int((B >> s) & 255);
        const int v =
            ScaleBy255 ? (W * f + (255 - W) * b) / 255 : (W * f + (256 - W) * b + 128) >> 8;
        R |= TColor32(v) << s;
    }
    return R;
}
TColor32 RefMix(TColor32 F, TColor32 B, int W, bool ScaleBy255) {
    return W == 0 ? B : W == 255 ? F : PerChannel(F, B, W, ScaleBy255);
}
} // namespace

TEST(Blend, PlainSetAgainstReference) {
    const TGraphBlendRoutines& R = GraphBlendRoutines();
    EXPECT_EQ(&R, &PlainGraphBlendRoutines());
    std::mt19937 Rng(1234);
    std::vector<TColor32> Src(301), Dst(301);
    for (int Round = 0; Round < 20; ++Round) {
        for (int i = 0; i < 301; ++i) {
            Src[i] = Rng();
            Dst[i] = Rng();
        }
        Src[0] &= 0x00FFFFFF;
        Src[1] |= 0xFF000000;
        const int M = int(Rng() & 255);
        std::vector<TColor32> Line = Dst, LineEx = Dst;
        R.BlendLine(Src.data(), Line.data(), 301);
        R.BlendLineEx(Src.data(), LineEx.data(), 301, Cardinal(M));
        for (int i = 0; i < 301; ++i) {
            const TColor32 F = Src[i], B = Dst[i];
            const int W = int(Rng() & 255), A = int(F >> 24), MA = (M * A) >> 8;
            TColor32 Mem = B;
            R.CombineMem(F, Mem, Cardinal(W));
            ASSERT_EQ(Mem, RefMix(F, B, W, true));
            ASSERT_EQ(R.BlendReg(F, B), RefMix(F, B, A, false));
            ASSERT_EQ(Line[i], RefMix(F, B, A, false));
            ASSERT_EQ(R.BlendRegEx(F, B, Cardinal(M)), RefMix(F, B, MA, false));
            ASSERT_EQ(LineEx[i], RefMix(F, B, MA, false));
        }
    }
    // Weights above 255 count as 255; a full master alpha still never copies.
    EXPECT_EQ(R.CombineReg(0x12345678, 0x9ABCDEF0, 300), 0x12345678u);
    EXPECT_EQ(R.BlendRegEx(0xFF0000FF, 0xFF000000, 1000), 0xFF0000FDu);
}
