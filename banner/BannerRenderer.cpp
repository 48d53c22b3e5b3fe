#include "banner/BannerRenderer.h"

#include "platform/base/Convert.h"
#include "platform/base/Rounding.h"
#include "raster/RasterKernelResamplers.h"
#include "raster/RasterTransforms.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace {

int ClampSize(int Size) {
    return std::clamp(Size, MinTextSize, MaxTextSize);
}

TFontStyles StylesOf(int Index) {
    switch (Index) {
    case 1:
        return {fsBold};
    case 2:
        return {fsItalic};
    case 3:
        return {fsBold, fsItalic};
    default:
        return {};
    }
}

// The font's point size within the sane range: MaxTextSize points at 96 DPI
// are some 190 pixels, twice that while antialiasing.
void SetSafeFontSize(TBitmap32& B, int Size) {
    B.Font()->SetSize(ClampSize(Size));
}

void FillTemplate(const TBannerDocument& Doc, TBitmap32& B, int W, int H) {
    const TBitmap32& tex = Doc.Tex;
    // Without a template (its file was missing) the white fill stays.
    if (tex.Empty()) return;
    B.ClearToColor(0x00FFFFFFu);
    // Drawn from a private copy so that the document's template (a const
    // input here) never sees the update calls.
    TBitmap32 src;
    src.Assign(&tex);
    const int tw = std::max(1, src.Width() - 1);
    const int th = std::max(1, src.Height() - 1);
    TAffineTransformation t;
    t.SetSourceRect(TFloatRect{0, 0, TFloat(tw), TFloat(th)});
    t.AppendScale(TFloat(double(W) / tw), TFloat(double(H) / th));
    // The destination takes a draft resampler (owned by it from now on)
    // and samples through it while the template is transformed.
    TCustomResampler* draft = new TDraftResampler(&B);
    draft->BeginSampling();
    src.StartUpdate();
    TransformBitmap(&B, &src, &t);
    draft->EndSampling();
    src.EndUpdate();
}

void FillGradient(const TBannerDocument& Doc, TBitmap32& B, int W, int H) {
    const TColor32 c1 = ToColor32(Doc.cg1);
    const TColor32 c2 = ToColor32(Doc.cg2);
    const bool horizontal = Doc.dxH;
    const int length = horizontal ? W : H;
    if (length <= 0) return;
    // One colour per step of the gradient, computed once.
    std::vector<TColor32> ramp(static_cast<std::size_t>(length));
    for (int t = 0; t < length; ++t) {
        int ch[3];
        for (int i = 0; i < 3; ++i) {
            const int shift = 16 - 8 * i;
            const int a = int((c1 >> shift) & 0xFF);
            const int b = int((c2 >> shift) & 0xFF);
            ch[i] = (a + Round(double(b - a) / length * t)) & 0xFF;
        }
        ramp[std::size_t(t)] = MakeColor32(ch[0], ch[1], ch[2]);
    }
    for (int y = 0; y < H; ++y) {
        TColor32* row = B.ScanLine(y);
        if (horizontal)
            std::copy(ramp.begin(), ramp.end(), row);
        else
            std::fill(row, row + W, ramp[std::size_t(y)]);
    }
}

} // namespace

TTextLook TextLookOf(const TTextElement& Element, int Line) {
    TTextLook look;
    look.Text = TBannerDocument::GetValueLine(Element.Caption, Line);
    look.Color = StringToColor(TBannerDocument::GetValueLine(Element.Color, Line));
    look.FontName = TBannerDocument::GetValueLine(Element.FontName, Line);
    look.Style = StrToInt(TBannerDocument::GetValueLine(Element.StyleIndex, Line));
    look.Size = StrToInt(TBannerDocument::GetValueLine(Element.Size, Line));
    look.Shadow = TBannerDocument::GetValueLine(Element.Shadow, Line) == "1";
    return look;
}

void CheckDrawableElements(TCompositionKind Composition, bool Three,
                           const std::vector<TTextElement>& Texts,
                           const std::vector<TImageElement>& Images) {
    const std::size_t Main = Composition == ckOneText ? 0 : 1;
    for (std::size_t I = 0; I < Texts.size() && I <= Main; ++I) {
        const int Shown =
            I < Main ? 1
                     : std::max(Three ? 3 : 2,
                                std::min(3, TBannerDocument::ValueCount(Texts[I].Caption)));
        for (int Line = 0; Line < Shown; ++Line)
            TextLookOf(Texts[I], Line);
    }
    if (Composition != ckTwoTextsImage) return;
    for (const TImageElement& E : Images) {
        E.PosX();
        E.PosY();
        if (E.IsTransparent()) StringToColor(E.TransparentColor);
    }
}

void ApplyTextFont(TBitmap32& B, const TTextLook& Look, int Size) {
    TFont* font = B.Font();
    font->SetName(Look.FontName);
    font->SetStyle(StylesOf(Look.Style));
    font->SetColor(Look.Color);
    SetSafeFontSize(B, Size);
}

TSize MeasureLookText(TBitmap32& B, std::string_view Text) {
    return B.MeasureText(Text);
}

namespace {

// Start of the code point after the one at I.
std::size_t NextCodePoint(std::string_view Text, std::size_t I) {
    ++I;
    while (I < Text.size() && (std::uint8_t(Text[I]) & 0xC0) == 0x80)
        ++I;
    return I;
}

// The part of Text drawn at (X, Y) that can reach B, shadow included. The
// text is drawn through a work bitmap as large as the text, so what lies past
// the right edge is cut off (two characters after the last one that starts
// inside are kept for overhanging glyphs), and a text wholly outside is not
// drawn at all: a long text or a far position costs no more than the banner.
std::string_view VisibleText(TBitmap32& B, std::string_view Text, int X, int Y) {
    if (Text.empty() || B.Empty() || X >= B.Width() || Y >= B.Height()) return {};
    const TSize Full = B.MeasureText(Text);
    if (std::int64_t(X) + Full.cx + 1 <= 0 || std::int64_t(Y) + Full.cy + 1 <= 0) return {};
    const std::int64_t Room = std::int64_t(B.Width()) - X;
    if (Full.cx <= Room) return Text;
    // The shortest prefix reaching the right edge, by halving over the code
    // point boundaries.
    std::vector<std::size_t> Ends;
    for (std::size_t I = 0; I < Text.size(); I = NextCodePoint(Text, I))
        Ends.push_back(NextCodePoint(Text, I));
    std::size_t Low = 0, High = Ends.size() - 1;
    while (Low < High) {
        const std::size_t Mid = (Low + High) / 2;
        if (B.MeasureText(Text.substr(0, Ends[Mid])).cx >= Room)
            High = Mid;
        else
            Low = Mid + 1;
    }
    return Text.substr(0, Ends[std::min(Low + 2, Ends.size() - 1)]);
}

} // namespace

void DrawLookText(TBitmap32& B, const TTextLook& Look, std::string_view Text, int X, int Y,
                  int Alpha) {
    const std::string_view Shown = VisibleText(B, Text, X, Y);
    if (Shown.empty()) return;
    // X and Y are inside the bitmap's width and height here: X + 1 cannot
    // overflow.
    if (Look.Shadow)
        B.RenderAntialiasedText(X + 1, Y + 1, Shown, 1,
                                WithAlpha(ToColor32(TextShadowColor), Alpha));
    B.RenderAntialiasedText(X, Y, Shown, 1, WithAlpha(ToColor32(Look.Color), Alpha));
}

bool AutoPosition(const TBannerDocument& Doc, int V) {
    static constexpr int slot[4] = {2, 0, 1, 3};
    return Doc.AutoPositions[std::size_t(slot[std::clamp(V, 0, 3)])] == 1;
}

TPoint StoredPosition(const TBannerDocument& Doc, int V) {
    switch (V) {
    case 1:
        return {Doc.TextPositions[0], Doc.TextPositions[1]};
    case 2:
        return {Doc.TextPositions[2], Doc.TextPositions[3]};
    case 3:
        return {Doc.Value3Position[0], Doc.Value3Position[1]};
    default:
        return {Doc.TextPositions[4], Doc.TextPositions[5]};
    }
}

TPoint FirstTextAnchor(const TBannerDocument& Doc, int Tw) {
    if (!AutoPosition(Doc, 0)) return StoredPosition(Doc, 0);
    const int w = Doc.BannerWidth;
    const int h = Doc.BannerHeight;
    const int y = Round((h - 1) / 14.75);
    if (Doc.Composition == ckTwoTextsImage) return {Round((w - 1) / 3.1133333333333333), y};
    return {int(RoundQuotient(std::int64_t(w) - Tw, 2)), y};
}

TPoint MainTextAnchor(const TBannerDocument& Doc, int V, int Tw, int Th, bool Editor) {
    if (!AutoPosition(Doc, V)) return StoredPosition(Doc, V);
    const std::int64_t w = Doc.BannerWidth;
    const std::int64_t h = Doc.BannerHeight;
    switch (Doc.Composition) {
    case ckTwoTextsImage:
        return {Round((w - 1) / 3.1133333333333333), Round((h - 1) / 1.6857142857142857)};
    case ckTwoTexts:
        return {int(RoundQuotient(w - Tw, 2)), Round((h - 1) / 1.6857142857142857)};
    default:
        if (Editor) return {int((w - Tw) / 2), int((h - Th) / 2)};
        return {int(RoundQuotient(w - Tw, 2)), int(RoundQuotient(h - Th, 2))};
    }
}

void DrawBannerBackground(const TBannerDocument& Doc, TBitmap32& B) {
    const int W = std::max(0, Doc.BannerWidth);
    const int H = std::max(0, Doc.BannerHeight);
    B.SetDimensions(W, H);
    if (B.Empty()) return;
    B.ClearToColor(0xFFFFFFFFu);
    switch (Doc.BackgroundKind) {
    case bgColor:
        B.ClearToColor(ToColor32(Doc.Cl));
        break;
    case bgTemplate:
        FillTemplate(Doc, B, W, H);
        break;
    case bgGradient:
        FillGradient(Doc, B, W, H);
        break;
    case bgComposed: {
        const int top = int(RoundQuotient(H, 2));
        if (top > 0) B.FillRectangle(0, 0, W, top, ToColor32(Doc.cc1));
        if (top < H) B.FillRectangle(0, top, W, H, ToColor32(Doc.cc2));
        break;
    }
    case bgImage:
        if (!Doc.extimage.Empty()) B.DrawBitmapAt(0, 0, const_cast<TBitmap32*>(&Doc.extimage));
        break;
    default:
        break;
    }
}

void DrawBannerBorder(const TBannerDocument& Doc, TBitmap32& B) {
    if (B.Empty()) return;
    const int W = B.Width();
    const int H = B.Height();
    const TColor32 c = ToColor32(Doc.clbord);
    // Each line leaves out its end point; together they close the frame.
    if (Doc.BrLeft && H > 1) B.VertLine(0, 0, H - 2, c);
    if (Doc.BrTop && W > 1) B.HorzLine(0, 0, W - 2, c);
    if (Doc.BrRight) B.VertLine(W - 1, 0, H - 1, c);
    if (Doc.BrBottom && W > 1) B.HorzLine(0, H - 1, W - 2, c);
}

void PrepareImagePicture(const TBannerDocument& Doc, int Index, TBitmap32& Out, TRect Part) {
    Out.Delete();
    const TBitmap32* pic = Doc.ImagePicture(Index);
    if (pic == nullptr || pic->Empty() || Index >= int(Doc.ilv.size())) return;
    if (!IntersectRect(Part, Part, pic->BoundsRect())) return;
    // Only the part asked for is copied: a picture far larger than the
    // banner costs no more than the banner, in every frame of an effect.
    Out.SetDimensions(Part.Width(), Part.Height());
    for (int y = 0; y < Part.Height(); ++y)
        std::copy_n(pic->PixelPtr(Part.Left, Part.Top + y), Part.Width(), Out.ScanLine(y));
    Out.SetDrawMode(dmBlend);
    Out.SetCombineMode(pic->CombineMode());
    Out.SetMasterAlpha(255);
    Out.ResetAlpha(255);
    const TImageElement& e = Doc.ilv[std::size_t(Index)];
    if (!e.IsTransparent()) return;
    const TColor32 key = ToColor32(StringToColor(e.TransparentColor));
    TColor32* p = Out.Bits();
    const std::size_t n = std::size_t(Out.Width()) * std::size_t(Out.Height());
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] == key) p[i] &= 0x00FFFFFFu;
}

bool DrawImagePicture(const TBannerDocument& Doc, int Index, TBitmap32& B, int X, int Y,
                      int Alpha) {
    const TBitmap32* pic = Doc.ImagePicture(Index);
    if (pic == nullptr || pic->Empty() || Index >= int(Doc.ilv.size())) return false;
    // In 64 bits: a position typed in the editor may be any integer.
    const TRect Clip = B.ClipRect();
    const auto Offset = [](int Edge, int At) {
        return int(std::clamp<std::int64_t>(std::int64_t(Edge) - At,
                                            std::numeric_limits<int>::min(),
                                            std::numeric_limits<int>::max()));
    };
    TBitmap32 part;
    PrepareImagePicture(
        Doc, Index, part,
        {Offset(Clip.Left, X), Offset(Clip.Top, Y), Offset(Clip.Right, X), Offset(Clip.Bottom, Y)});
    if (!part.Empty()) {
        // The part starts where the picture meets the clip rectangle, inside B.
        part.SetMasterAlpha(Alpha);
        B.DrawBitmapAt(std::max(X, Clip.Left), std::max(Y, Clip.Top), &part);
    }
    return true;
}

void DrawBannerImages(const TBannerDocument& Doc, TBitmap32& B, THitRect* Hits) {
    const int count = std::min<int>(int(Doc.ilv.size()), TBannerDocument::MaxImages);
    for (int i = 0; i < count; ++i) {
        const TImageElement& e = Doc.ilv[std::size_t(i)];
        const int x = e.PosX();
        const int y = e.PosY();
        if (DrawImagePicture(Doc, i, B, x, y, 255) && Hits) {
            const TBitmap32* pic = Doc.ImagePicture(i);
            Hits[i] = {x, y, pic->Width(), pic->Height()};
        }
    }
}

bool TBannerRenderer::RedrawBanner(TBitmap32& Canvas, bool KeepSaveDisabled) {
    if (FDocument.Composition == ckNone) return false;
    DrawBackground(Canvas);
    switch (FDocument.Composition) {
    case ckOneText:
        RenderComposition1(Canvas);
        break;
    case ckTwoTextsImage:
        RenderComposition2(Canvas);
        break;
    case ckTwoTexts:
        RenderComposition3(Canvas);
        break;
    default:
        break;
    }
    DrawBorder(Canvas);
    FDocument.RedrawDone(KeepSaveDisabled);
    return true;
}

void TBannerRenderer::DrawBackground(TBitmap32& B) const {
    DrawBannerBackground(FDocument, B);
}

void TBannerRenderer::DrawBorder(TBitmap32& B) const {
    DrawBannerBorder(FDocument, B);
}

void TBannerRenderer::RenderComposition1(TBitmap32& B) {
    const TTextElement* main = FDocument.MainText();
    if (main == nullptr || B.Empty()) return;
    const int line = std::clamp(FDocument.SelectedValue, 0, 2);
    const TTextLook look = TextLookOf(*main, line);
    ApplyTextFont(B, look, look.Size);
    const TSize ext = MeasureLookText(B, look.Text);
    TPoint at = MainTextAnchor(FDocument, line + 1, ext.cx, ext.cy, true);
    if (FDocument.custom) at = StoredPosition(FDocument, line + 1);
    DrawLookText(B, look, look.Text, at.X, at.Y);
    FDocument.HitRectText1 = {at.X, at.Y, ext.cx, ext.cy};
}

void DrawBannerFirstText(const TBannerDocument& Doc, TBitmap32& B, THitRect* Hit) {
    const TTextElement* first = Doc.FirstText();
    if (first == nullptr || B.Empty()) return;
    const TTextLook look = TextLookOf(*first, 0);
    ApplyTextFont(B, look, look.Size);
    const TSize ext = MeasureLookText(B, look.Text);
    const TPoint at = FirstTextAnchor(Doc, ext.cx);
    DrawLookText(B, look, look.Text, at.X, at.Y);
    if (Hit) *Hit = {at.X, at.Y, ext.cx, ext.cy};
}

void TBannerRenderer::DrawFirstText(TBitmap32& B) {
    DrawBannerFirstText(FDocument, B, &FDocument.HitRectText1);
}

void TBannerRenderer::DrawImageElement(TBitmap32& B) {
    if (FDocument.Composition != ckTwoTextsImage || B.Empty()) return;
    THitRect hits[TBannerDocument::MaxImages] = {FDocument.HitRectImage1, FDocument.HitRectImage2,
                                                 FDocument.HitRectImage3};
    DrawBannerImages(FDocument, B, hits);
    FDocument.HitRectImage1 = hits[0];
    FDocument.HitRectImage2 = hits[1];
    FDocument.HitRectImage3 = hits[2];
}

namespace {

// The selected value of the main text at its anchor, with the two hover
// rectangles measured on lines 0 and 1 of the caption.
void DrawSelectedMainValue(TBannerDocument& Doc, TBitmap32& B) {
    const TTextElement* main = Doc.MainText();
    if (main == nullptr || B.Empty()) return;
    const int line = std::clamp(Doc.SelectedValue, 0, 2);
    const TTextLook look = TextLookOf(*main, line);
    ApplyTextFont(B, look, look.Size);
    const TSize ext = MeasureLookText(B, look.Text);
    const TPoint at = MainTextAnchor(Doc, line + 1, ext.cx, ext.cy, true);
    DrawLookText(B, look, look.Text, at.X, at.Y);
    const TSize m0 = MeasureLookText(B, TBannerDocument::GetValueLine(main->Caption, 0));
    const TSize m1 = MeasureLookText(B, TBannerDocument::GetValueLine(main->Caption, 1));
    Doc.HitRectValue1 = {at.X, at.Y, m0.cx, m0.cy};
    Doc.HitRectValue2 = {at.X, at.Y, m1.cx, m1.cy};
}

} // namespace

void TBannerRenderer::RenderComposition2(TBitmap32& B) {
    DrawImageElement(B);
    DrawFirstText(B);
    DrawSelectedMainValue(FDocument, B);
}

void TBannerRenderer::RenderComposition3(TBitmap32& B) {
    DrawFirstText(B);
    const TTextElement* main = FDocument.MainText();
    if (main != nullptr && !main->Caption.empty()) DrawSelectedMainValue(FDocument, B);
}
