#include "controls/ButtonGlyphs.h"

#include "platform/graphics/Colors.h"

#include <algorithm>

namespace {

TGlyphCache* GGlyphCache = nullptr;

// A pixel of the image's own pattern (not its background, not white paper):
// the part of a glyph that is embossed when it is drawn disabled.
bool IsInk(TColor Pixel, TColor Transparent) {
    const TColor P = Pixel & 0xFFFFFF;
    return P != (ColorToRGB(Transparent) & 0xFFFFFF) && P != 0xFFFFFF;
}

} // namespace

void DrawButtonText(TCanvas* Canvas, std::string_view Text, TRect& Rect, std::uint32_t Flags) {
    const TSize Size = Canvas->TextExtent(Text);
    if ((Flags & DT_CALCRECT) != 0) {
        Rect.Right = Rect.Left + Size.cx;
        Rect.Bottom = Rect.Top + Size.cy;
        return;
    }
    int X = Rect.Left;
    if ((Flags & DT_CENTER) != 0)
        X = Rect.Left + (Rect.Width() - Size.cx) / 2;
    else if ((Flags & DT_RIGHT) != 0)
        X = Rect.Right - Size.cx;
    int Y = Rect.Top;
    if ((Flags & DT_VCENTER) != 0)
        Y = Rect.Top + (Rect.Height() - Size.cy) / 2;
    else if ((Flags & DT_BOTTOM) != 0)
        Y = Rect.Bottom - Size.cy;
    Canvas->TextRect(Rect, X, Y, Text);
}

// ---- TGlyphList ----

TGlyphList::TGlyphList(int AWidth, int AHeight) : TImageList(nullptr, AWidth, AHeight) {}

int TGlyphList::ReserveSlot() {
    auto It = std::find(FUsed.begin(), FUsed.end(), false);
    int Slot = int(It - FUsed.begin());
    if (It == FUsed.end()) {
        TBitmap Blank(Width(), Height(), pf24bit);
        Slot = Add(&Blank, nullptr);
        FUsed.resize(std::size_t(Slot) + 1, false);
    }
    FUsed[std::size_t(Slot)] = true;
    return Slot;
}

int TGlyphList::AddGlyphMasked(TBitmap* Image, TColor MaskColor) {
    const int Slot = ReserveSlot();
    ReplaceMasked(Slot, Image, MaskColor);
    ++FCount;
    return Slot;
}

void TGlyphList::ReleaseSlot(int Index) {
    if (Index < 0 || Index >= int(FUsed.size()) || !FUsed[std::size_t(Index)]) return;
    --FCount;
    FUsed[std::size_t(Index)] = false;
}

// ---- TGlyphCache ----

TGlyphCache::~TGlyphCache() {
    for (TGlyphList* L : FGlyphLists)
        delete L;
}

TGlyphList* TGlyphCache::ListForSize(int AWidth, int AHeight) {
    for (auto It = FGlyphLists.rbegin(); It != FGlyphLists.rend(); ++It)
        if ((*It)->Width() == AWidth && (*It)->Height() == AHeight) return *It;
    auto* L = new TGlyphList(AWidth, AHeight);
    FGlyphLists.push_back(L);
    return L;
}

void TGlyphCache::ReleaseList(TGlyphList* List) {
    if (List == nullptr || List->Count() != 0) return;
    auto It = std::find(FGlyphLists.begin(), FGlyphLists.end(), List);
    if (It == FGlyphLists.end()) return;
    FGlyphLists.erase(It);
    delete List;
}

TGlyphCache* GlyphCacheInstance() {
    return GGlyphCache;
}

// ---- TButtonGlyph ----

TButtonGlyph::TButtonGlyph() : FOriginal(std::make_unique<TBitmap>()) {
    FOriginal->OnChange = [this](TObject* Sender) { GlyphChanged(Sender); };
    if (GGlyphCache == nullptr) GGlyphCache = new TGlyphCache;
}

TButtonGlyph::~TButtonGlyph() {
    FOriginal.reset();
    DropImages();
    if (GGlyphCache != nullptr && GGlyphCache->IsEmpty()) {
        delete GGlyphCache;
        GGlyphCache = nullptr;
    }
}

void TButtonGlyph::DropImages() {
    if (FGlyphList != nullptr) {
        for (int& I : FIndexes)
            if (I != -1) {
                FGlyphList->ReleaseSlot(I);
                I = -1;
            }
        if (GGlyphCache != nullptr) GGlyphCache->ReleaseList(FGlyphList);
        FGlyphList = nullptr;
    }
    FIndexes.fill(-1);
}

void TButtonGlyph::GlyphChanged(TObject* Sender) {
    if (Sender != FOriginal.get()) return;
    FTransparentColor = FOriginal->TransparentColor();
    DropImages();
    if (OnChange) OnChange(this);
}

void TButtonGlyph::AssignGlyph(TBitmap* Value) {
    DropImages();
    FOriginal->Assign(Value);
    if (Value != nullptr && Value->Height() > 0) {
        FTransparentColor = Value->TransparentColor();
        if (Value->Width() % Value->Height() == 0) {
            int N = Value->Width() / Value->Height();
            if (N > 4) N = 1;
            SetGlyphCount(N);
        }
    }
}

void TButtonGlyph::SetGlyphCount(int Value) {
    if (Value == 0 || Value == FNumGlyphs) return;
    DropImages();
    FNumGlyphs = std::clamp(Value, 1, 4);
    GlyphChanged(FOriginal.get());
}

int TButtonGlyph::GlyphWidth() const {
    return FOriginal->Width() / FNumGlyphs;
}

int TButtonGlyph::ImageForState(TButtonState State) {
    if (State == bsDown && FNumGlyphs < 3) State = bsUp;
    if (FIndexes[State] != -1) return FIndexes[State];
    const int W = GlyphWidth();
    const int H = FOriginal->Height();
    if (W <= 0 || H <= 0) return -1;
    if (FGlyphList == nullptr) {
        if (GGlyphCache == nullptr) GGlyphCache = new TGlyphCache;
        FGlyphList = GGlyphCache->ListForSize(W, H);
    }
    TBitmap Work(W, H, pf24bit);
    const TColor Face = ColorToRGB(clBtnFace);
    const TColor Highlight = ColorToRGB(clBtnHighlight);
    const TColor Shadow = ColorToRGB(clBtnShadow);
    Work.Canvas()->Brush()->SetColor(Face);
    Work.Canvas()->FillRect(TRect(0, 0, W, H));
    const int S = int(State) < FNumGlyphs ? int(State) : 0;
    const TRect Slice(S * W, 0, (S + 1) * W, H);
    const TRect Dest(0, 0, W, H);
    int Slot = -1;
    if (State != bsDisabled) {
        Work.Canvas()->CopyRect(Dest, FOriginal->Canvas(), Slice);
        Slot = FGlyphList->AddGlyphMasked(
            &Work, FOriginal->TransparentMode() == tmFixed ? FTransparentColor : clDefault);
    } else if (FNumGlyphs < 2) {
        // No disabled image of its own: emboss the pattern, highlight one
        // pixel down-right, shadow in place.
        TCanvas* Src = FOriginal->Canvas();
        std::vector<bool> Ink(std::size_t(W) * std::size_t(H));
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < W; ++X)
                Ink[std::size_t(Y) * std::size_t(W) + std::size_t(X)] =
                    IsInk(Src->Pixels(X, Y), FTransparentColor);
        TCanvas* C = Work.Canvas();
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < W; ++X)
                if (Ink[std::size_t(Y) * std::size_t(W) + std::size_t(X)] && X + 1 < W && Y + 1 < H)
                    C->SetPixels(X + 1, Y + 1, Highlight);
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < W; ++X)
                if (Ink[std::size_t(Y) * std::size_t(W) + std::size_t(X)])
                    C->SetPixels(X, Y, Shadow);
        Slot = FGlyphList->AddGlyphMasked(&Work, clDefault);
    } else {
        Work.Canvas()->CopyRect(Dest, FOriginal->Canvas(), Slice);
        TCanvas* C = Work.Canvas();
        const TColor Trans = ColorToRGB(FTransparentColor) & 0xFFFFFF;
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < W; ++X) {
                const TColor P = C->Pixels(X, Y) & 0xFFFFFF;
                if (P == 0xFFFFFF)
                    C->SetPixels(X, Y, Highlight);
                else if (P == 0x808080)
                    C->SetPixels(X, Y, Shadow);
                else if (P == Trans)
                    C->SetPixels(X, Y, Face);
            }
        Slot = FGlyphList->AddGlyphMasked(&Work, clDefault);
    }
    FIndexes[State] = Slot;
    return Slot;
}

void TButtonGlyph::DrawGlyphImage(TCanvas* Canvas, TPoint Pos, bool Transparent,
                                  TButtonState State) {
    if (FOriginal->Width() == 0 || FOriginal->Height() == 0) return;
    const int Index = ImageForState(State);
    if (Index < 0 || FGlyphList == nullptr) return;
    if (!Transparent && State != bsExclusive) {
        // Normal style: the image on the button face.
        Canvas->Brush()->SetStyle(bsSolid);
        Canvas->Brush()->SetColor(clBtnFace);
        Canvas->FillRect(Bounds(Pos.X, Pos.Y, FGlyphList->Width(), FGlyphList->Height()));
    }
    FGlyphList->Draw(Canvas, Pos.X, Pos.Y, Index, dsTransparent, itImage, true);
}

void TButtonGlyph::DrawCaption(TCanvas* Canvas, const std::string& Caption, std::uint32_t BiDiFlags,
                               TButtonState State, TRect TextBounds) {
    Canvas->Brush()->SetStyle(bsClear);
    const std::uint32_t Flags = BiDiFlags | DT_CENTER | DT_VCENTER;
    if (State == bsDisabled) {
        const TColor Old = Canvas->Font()->Color();
        OffsetRect(TextBounds, 1, 1);
        Canvas->Font()->SetColor(clBtnHighlight);
        DrawButtonText(Canvas, Caption, TextBounds, Flags);
        OffsetRect(TextBounds, -1, -1);
        Canvas->Font()->SetColor(clBtnShadow);
        DrawButtonText(Canvas, Caption, TextBounds, Flags);
        Canvas->Font()->SetColor(Old);
    } else {
        DrawButtonText(Canvas, Caption, TextBounds, Flags);
    }
}

TGlyphLayout TButtonGlyph::CalcGlyphLayout(TCanvas* Canvas, const TRect& Client,
                                           std::uint32_t BiDiFlags, int DropDownWidth, int Margin,
                                           int Spacing, TButtonLayout Layout,
                                           const std::string& Caption, TPoint Offset) const {
    if ((BiDiFlags & DT_RIGHT) != 0) {
        if (Layout == blGlyphLeft)
            Layout = blGlyphRight;
        else if (Layout == blGlyphRight)
            Layout = blGlyphLeft;
    }
    const TPoint ClientSize(Client.Width() - DropDownWidth, Client.Height());
    const TPoint GlyphSize = FOriginal->Width() > 0 && FOriginal->Height() > 0
                                 ? TPoint(GlyphWidth(), FOriginal->Height())
                                 : TPoint(0, 0);
    TRect TextBounds;
    if (!Caption.empty()) {
        TextBounds = TRect(0, 0, Client.Width(), 0);
        DrawButtonText(Canvas, Caption, TextBounds, DT_CALCRECT | BiDiFlags);
    }
    const TPoint TextSize(TextBounds.Right - TextBounds.Left, TextBounds.Bottom - TextBounds.Top);

    TPoint GlyphPos, TextPos;
    const bool Horizontal = Layout == blGlyphLeft || Layout == blGlyphRight;
    // The glyph and the text follow each other along one axis and are
    // centred across it.
    int TPoint::*const Along = Horizontal ? &TPoint::X : &TPoint::Y;
    int TPoint::*const Across = Horizontal ? &TPoint::Y : &TPoint::X;
    GlyphPos.*Across = (ClientSize.*Across - GlyphSize.*Across + 1) / 2;
    TextPos.*Across = (ClientSize.*Across - TextSize.*Across + 1) / 2;
    if (TextSize.X == 0 || GlyphSize.X == 0) Spacing = 0;

    const int ClientAxis = ClientSize.*Along;
    const int GlyphAxis = GlyphSize.*Along;
    const int TextAxis = TextSize.*Along;
    if (Margin == -1) {
        if (Spacing == -1) {
            const int Total = GlyphAxis + TextAxis;
            Margin = (ClientAxis - Total) / 3;
            Spacing = Margin;
        } else {
            const int Total = GlyphAxis + Spacing + TextAxis;
            Margin = (ClientAxis - Total + 1) / 2;
        }
    } else if (Spacing == -1) {
        Spacing = (ClientAxis - Margin - GlyphAxis - TextAxis) / 2;
    }

    if (Layout == blGlyphLeft || Layout == blGlyphTop) {
        GlyphPos.*Along = Margin;
        TextPos.*Along = Margin + GlyphAxis + Spacing;
    } else {
        GlyphPos.*Along = ClientAxis - Margin - GlyphAxis;
        TextPos.*Along = GlyphPos.*Along - Spacing - TextAxis;
    }

    TGlyphLayout R;
    R.GlyphPos = TPoint(GlyphPos.X + Client.Left + Offset.X, GlyphPos.Y + Client.Top + Offset.Y);
    // The press moves the text by the same amount on both axes.
    R.TextBounds = TextBounds;
    OffsetRect(R.TextBounds, TextPos.X + Client.Left + Offset.X, TextPos.Y + Client.Top + Offset.X);
    return R;
}

TRect TButtonGlyph::DrawGlyphAndCaption(TCanvas* Canvas, const TRect& Client,
                                        std::uint32_t BiDiFlags, int DropDownWidth,
                                        bool Transparent, TButtonState State, int Margin,
                                        int Spacing, TButtonLayout Layout,
                                        const std::string& Caption, TPoint Offset) {
    const TGlyphLayout L = CalcGlyphLayout(Canvas, Client, BiDiFlags, DropDownWidth, Margin,
                                           Spacing, Layout, Caption, Offset);
    DrawGlyphImage(Canvas, L.GlyphPos, Transparent, State);
    DrawCaption(Canvas, Caption, BiDiFlags, State, L.TextBounds);

    TRect R;
    if (!Caption.empty()) {
        R = TRect(L.TextBounds.Left, L.TextBounds.Bottom, L.TextBounds.Right,
                  L.TextBounds.Bottom + 6);
        if (R.Bottom + 2 > Client.Bottom) R.Bottom = Client.Bottom - 2;
        return R;
    }
    R = Client;
    R.Right -= DropDownWidth + 2;
    InflateRect(R, -2, -2);
    if (FOriginal->Width() > 0 && FOriginal->Height() > 0) {
        // Beside the state image, whatever the number of images in the strip.
        const int GW = GlyphWidth();
        const int GH = FOriginal->Height();
        switch (Layout) {
        case blGlyphLeft:
            R.Left = L.GlyphPos.X + GW + 4;
            R.Top = L.GlyphPos.Y;
            R.Bottom = L.GlyphPos.Y + GH;
            break;
        case blGlyphRight:
            R.Right = L.GlyphPos.X - 4;
            R.Top = L.GlyphPos.Y;
            R.Bottom = L.GlyphPos.Y + GH;
            break;
        case blGlyphTop:
            R.Top = L.GlyphPos.Y + GH + 4;
            break;
        case blGlyphBottom:
            R.Bottom = L.GlyphPos.Y - 4;
            break;
        }
    }
    return R;
}
