#include "banner/DocumentFile.h"
#include "banner/Templates.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <vector>

#include "banner/BannerDocument.h"
#include "banner/BannerLimits.h"
#include "banner/BannerRenderer.h"
#include "platform/base/Convert.h"
#include "platform/base/FileNames.h"
#include "platform/base/Text.h"
#include "platform/classes/Filer.h"
#include "platform/classes/Stream.h"
#include "platform/graphics/Graphic.h"
#include "raster/RasterImage.h"

// ---- Short strings.

void TShortString::Set(std::string_view Utf8) {
    const std::string Ansi = Utf8ToAnsi(Utf8);
    const std::size_t N = std::min<std::size_t>(Ansi.size(), sizeof(Chars));
    Length = std::uint8_t(N);
    std::memset(Chars, 0, sizeof(Chars));
    std::memcpy(Chars, Ansi.data(), N);
}

std::string TShortString::Get() const {
    return AnsiToUtf8(std::string_view(Chars, Length));
}

namespace {

// The picture control as the file streams it. It is never shown, so it keeps
// no back buffer: the sizes a file gives it cost no memory.
class TStreamedPicture : public TImage32 {
public:
    TStreamedPicture() : TImage32(nullptr) {}

protected:
    void Resize() override {}
};

const char* const PictureNames[4] = {"Image1", "extimage", "Extimage1", "extimage2"};

TBitmap32& Picture(TBannerDocument& D, int Index) {
    switch (Index) {
    case 0:
        return D.Image1;
    case 1:
        return D.extimage;
    case 2:
        return D.Extimage1;
    default:
        return D.extimage2;
    }
}

const TBitmap32& Picture(const TBannerDocument& D, int Index) {
    return Picture(const_cast<TBannerDocument&>(D), Index);
}

// Colour lines as documents hold them: a name that only a registered table
// knows becomes the base text of its colour; anything else stays as it is.
std::string BaseColorLines(const std::string& Lines) {
    std::string Result;
    std::size_t Start = 0;
    for (;;) {
        const std::size_t End = std::min(Lines.find('\r', Start), Lines.size());
        const std::string_view Line = std::string_view(Lines).substr(Start, End - Start);
        const auto Base = ColorIdentTable();
        const bool BaseName = std::any_of(Base.begin(), Base.end(), [&](const TIdentMapEntry& E) {
            return E.Name != nullptr && SameText(Line, E.Name);
        });
        TColor Color = 0;
        if (!BaseName && IdentToColor(Line, Color))
            Result += TBannerDocument::ColorText(Color);
        else
            Result += Line;
        if (End >= Lines.size()) return Result;
        Result += '\r';
        Start = End + 1;
    }
}

void StoreText(TBannerFileRecord& R, int Element, const TTextElement& T) {
    TShortString* const Fields[2][6] = {
        {&R.Text0Values, &R.Text0Color, &R.Text0Font, &R.Text0Style, &R.Text0Size, &R.Text0Shadow},
        {&R.Text1Values, &R.Text1Color, &R.Text1Font, &R.Text1Style, &R.Text1Size, &R.Text1Shadow}};
    const std::string Color = BaseColorLines(T.Color);
    const std::string* const Values[6] = {&T.Caption,    &Color,  &T.FontName,
                                          &T.StyleIndex, &T.Size, &T.Shadow};
    for (int k = 0; k < 6; ++k)
        Fields[Element][k]->Set(*Values[k]);
}

TTextElement LoadText(const TBannerFileRecord& R, int Element) {
    const TShortString* const Fields[2][6] = {
        {&R.Text0Values, &R.Text0Color, &R.Text0Font, &R.Text0Style, &R.Text0Size, &R.Text0Shadow},
        {&R.Text1Values, &R.Text1Color, &R.Text1Font, &R.Text1Style, &R.Text1Size, &R.Text1Shadow}};
    TTextElement T;
    std::string* const Values[6] = {&T.Caption,    &T.Color, &T.FontName,
                                    &T.StyleIndex, &T.Size,  &T.Shadow};
    for (int k = 0; k < 6; ++k)
        *Values[k] = Fields[Element][k]->Get();
    return T;
}

// An image effect this version plays, else none.
int KnownImageEffect(int Effect) {
    return Effect >= 0 && Effect < ImageEffectCount ? Effect : ieNone;
}

// A position read from a file, kept where adding a banner's size to it
// cannot overflow.
int ClampElementOffset(std::int64_t V) {
    return int(std::clamp<std::int64_t>(V, -MaxElementOffset, MaxElementOffset));
}

} // namespace

// ---- Picture streams.

// The picture control as the editor's window holds it: the element pictures
// blend over the banner and size themselves to their picture; the external
// background is drawn opaque from the top left corner, the banner's size.
void WriteBannerPicture(TStream& S, int Index, const TBitmap32& Source, int BannerWidth,
                        int BannerHeight) {
    const bool Element = Index != 1;
    TStreamedPicture Image;
    Image.SetName(PictureNames[std::clamp(Index, 0, 3)]);
    Image.Bitmap()->Assign(&Source);
    if (Element) {
        Image.SetBounds(0, 0, Image.Bitmap()->Width(), Image.Bitmap()->Height());
        Image.SetAutoSize(true);
        Image.Bitmap()->SetDrawMode(dmBlend);
        Image.Bitmap()->SetOuterColor(2147483647u);
        Image.SetBitmapAlign(baCenter);
        Image.SetColor(clBtnFace);
        Image.SetParentColor(false);
    } else {
        Image.SetBounds(0, 0, BannerWidth, BannerHeight);
        Image.Bitmap()->SetDrawMode(dmOpaque);
        Image.Bitmap()->SetOuterColor(0);
        Image.SetBitmapAlign(baTopLeft);
    }
    Image.Bitmap()->SetResamplerClassName("TNearestResampler");
    Image.SetScale(1.0f);
    Image.SetScaleMode(smNormal);
    Image.SetVisible(false);
    WriteComponentToStream(S, &Image);
}

// Only the bitmap matters to the document. A stream without "Bitmap.Data"
// holds an empty picture (the writer leaves it out for one). A picture is
// lost only when its pixels cannot be read: any other property this control
// does not know or cannot take (a cursor, an event or a bitmap setting that
// another program or library stored) is passed over, the control keeping its
// own value.
bool ReadBannerPicture(TStream& S, TBitmap32& Target) {
    Target.Delete();
    TStreamedPicture Image;
    try {
        TReader Reader(S);
        Reader.OnError = [](TReader& R, const std::string&, bool& Handled) {
            const std::string_view Path = R.ErrorPropPath();
            Handled = !Path.empty() && !SameText(Path, "Bitmap.Data");
        };
        Reader.ReadRootComponent(&Image);
    } catch (const Exception&) {
        return false;
    }
    Target.Assign(Image.Bitmap());
    return true;
}

namespace {

// Where the stream of picture First or of a later one starts, at From or
// after it; Found tells which. A damaged stream cannot say where it ends, so
// the next one is found by its header: the signature, the class name and
// the component name.
std::size_t FindPictureHeader(std::string_view S, std::size_t From, int First, int Count,
                              int& Found) {
    for (std::size_t At = S.find("TPF0", From); At != std::string_view::npos;
         At = S.find("TPF0", At + 1)) {
        std::size_t P = At + 4;
        // The optional prefix byte; one that is followed by a child position
        // is never written for a root component.
        if (P < S.size() && std::uint8_t(S[P]) >= 0xF0) {
            if (S[P] & 2) continue;
            ++P;
        }
        if (P >= S.size()) break;
        P += 1 + std::uint8_t(S[P]); // class name
        if (P >= S.size()) continue;
        const std::size_t Length = std::uint8_t(S[P++]);
        if (P + Length > S.size()) continue;
        const std::string_view Name = S.substr(P, Length);
        for (int Index = First; Index < Count; ++Index) {
            if (SameText(Name, PictureNames[Index])) {
                Found = Index;
                return At;
            }
        }
    }
    return std::string_view::npos;
}

} // namespace

std::vector<TBannerPictureStream> ReadBannerPictures(std::string_view Streams,
                                                     std::span<TBitmap32> Pictures) {
    const int Count = int(std::min<std::size_t>(Pictures.size(), 4));
    std::vector<TBannerPictureStream> Result(static_cast<std::size_t>(Count));
    for (TBitmap32& Picture : Pictures)
        Picture.Delete();
    TMemoryStream S;
    if (!Streams.empty()) S.WriteBuffer(Streams.data(), std::int64_t(Streams.size()));
    std::size_t Pos = 0;
    int Index = 0;
    while (Index < Count && Pos < Streams.size()) {
        // A stream that names a later picture means the ones before are
        // missing: they stay empty.
        int Named = Index;
        if (FindPictureHeader(Streams, Pos, Index, Count, Named) == Pos) Index = Named;
        S.SetPosition(std::int64_t(Pos));
        if (ReadBannerPicture(S, Pictures[std::size_t(Index)])) {
            const std::size_t End = std::size_t(S.Position());
            Result[std::size_t(Index)] = {true, Streams.substr(Pos, End - Pos)};
            Pos = End;
            ++Index;
            continue;
        }
        // The damaged picture is lost alone: reading goes on at the next
        // stream's header.
        int Next = Count;
        const std::size_t At = FindPictureHeader(Streams, Pos + 1, Index + 1, Count, Next);
        const std::size_t End = At == std::string_view::npos ? Streams.size() : At;
        Result[std::size_t(Index)] = {false, Streams.substr(Pos, End - Pos)};
        Pos = End;
        Index = Next;
    }
    return Result;
}

// ---- Writing.

TBannerFileRecord MakeBannerFileRecord(const TBannerDocument& D) {
    TBannerFileRecord R;
    std::memset(&R, 0, sizeof(R));
    const bool TwoTexts = D.Composition == ckTwoTextsImage || D.Composition == ckTwoTexts;
    R.Composition = std::uint8_t(D.Composition);
    if (!D.tlv.empty()) StoreText(R, 0, D.tlv[0]);
    if (TwoTexts && D.tlv.size() > 1) StoreText(R, 1, D.tlv[1]);

    const bool KnownKind = D.BackgroundKind >= bgColor && D.BackgroundKind <= bgImage;
    R.BackgroundKind = KnownKind ? D.BackgroundKind : 0;
    R.TemplateNumber = D.BackgroundKind == bgTemplate ? D.TemplateNumber : 0;
    R.ClColor.Set(TBannerDocument::ColorText(D.Cl));
    R.Cg1Color.Set(TBannerDocument::ColorText(D.cg1));
    R.Cg2Color.Set(TBannerDocument::ColorText(D.cg2));
    R.Cc1Color.Set(TBannerDocument::ColorText(D.cc1));
    R.Cc2Color.Set(TBannerDocument::ColorText(D.cc2));
    R.BorderLeft = D.BrLeft ? 1 : 0;
    R.BorderRight = D.BrRight ? 1 : 0;
    R.BorderTop = D.BrTop ? 1 : 0;
    R.BorderBottom = D.BrBottom ? 1 : 0;
    R.BorderColor.Set(TBannerDocument::ColorText(D.clbord));
    for (int k = 0; k < 6; ++k)
        R.TextPositions[k] = D.TextPositions[k];
    for (int k = 0; k < 3; ++k)
        R.AutoPositions[k] = D.AutoPositions[k];
    R.ValueEffects[0] = D.ValueEffects[0];
    R.ValueEffects[1] = D.ValueEffects[1];
    R.GradientDirection = D.dxH ? 1 : 2;
    R.TemplateKeyColor.Set(TBannerDocument::ColorText(D.cp1));
    R.Forever = D.forever ? 1 : 0;
    R.Loops = D.loops;
    R.Transition = D.effectcombo;
    R.Speed = D.Slider;
    R.FirstTextEffect = D.FirstTextEffect;
    R.BannerFormat = D.BannerFormat;
    R.BannerHeight = D.BannerHeight;
    R.BannerWidth = D.BannerWidth;
    R.ThreeValues = D.three ? 1 : 0;
    R.Value3Effect = D.ValueEffects[2];

    if (D.Composition == ckTwoTextsImage) {
        const int Count = int(std::min<std::size_t>(D.ilv.size(), TBannerDocument::MaxImages));
        R.ImageCount = Count;
        for (int i = 0; i < Count; ++i) {
            for (int k = 0; k < 4; ++k)
                R.Images[i][k].Set(k == 1 ? BaseColorLines(*D.ilv[i].SubItem(k))
                                          : *D.ilv[i].SubItem(k));
            R.ImageEffects[i] = std::uint8_t(KnownImageEffect(StrToIntDef(D.ilv[i].Effect, 0)));
        }
    }
    R.Value3Position[0] = D.Value3Position[0];
    R.Value3Position[1] = D.Value3Position[1];
    R.Value3AutoPosition = D.AutoPositions[3];
    return R;
}

std::string BannerDocumentBytes(const TBannerDocument& D) {
    // The picture streams write colours by their identifiers ("clBtnFace");
    // the table comes with the graphics module (starting it twice is harmless).
    InitGraphicsModule();
    const TBannerFileRecord R = MakeBannerFileRecord(D);
    TMemoryStream S;
    S.WriteBuffer(&BannerFileVersion, 4);
    S.WriteBuffer(&R, sizeof(R));
    for (int Index = 0; Index < 4; ++Index)
        WriteBannerPicture(S, Index, Picture(D, Index), D.BannerWidth, D.BannerHeight);
    return std::string(S.View());
}

void SaveBannerDocument(const TBannerDocument& D, const std::string& FileName) {
    SaveFileAtomic(FileName, BannerDocumentBytes(D));
}

// ---- Reading.

TBannerRecordColors ReadRecordColors(const TBannerFileRecord& R) {
    auto C = [](const TShortString& Text) { return TBannerDocument::ColorFromText(Text.Get()); };
    return {C(R.ClColor),  C(R.Cg1Color),    C(R.Cg2Color),        C(R.Cc1Color),
            C(R.Cc2Color), C(R.BorderColor), C(R.TemplateKeyColor)};
}

std::vector<TTextElement> RecordTexts(const TBannerFileRecord& R) {
    std::vector<TTextElement> Texts{LoadText(R, 0)};
    if (R.Composition == ckTwoTextsImage || R.Composition == ckTwoTexts)
        Texts.push_back(LoadText(R, 1));
    return Texts;
}

std::vector<TImageElement> RecordImages(const TBannerFileRecord& R) {
    std::vector<TImageElement> Images;
    if (R.Composition != ckTwoTextsImage) return Images;
    const int Count = std::clamp(R.ImageCount, 1, TBannerDocument::MaxImages);
    for (int i = 0; i < Count; ++i) {
        TImageElement E;
        for (int k = 0; k < 4; ++k)
            *E.SubItem(k) = R.Images[i][k].Get();
        E.Effect = IntToStr(KnownImageEffect(R.ImageEffects[i]));
        // Positions the renderer could not add to without overflow are
        // brought within the drawable range; other texts stay as stored.
        for (std::string* Position : {&E.X, &E.Y}) {
            std::int64_t V = 0;
            if (TryStrToInt64(*Position, V) && V != ClampElementOffset(V))
                *Position = IntToStr(ClampElementOffset(V));
        }
        Images.push_back(E);
    }
    return Images;
}

void ApplyBannerRecord(TBannerDocument& D, const TBannerFileRecord& R,
                       const TBannerRecordColors& Colors) {
    D.tlv = RecordTexts(R);
    D.ilv = RecordImages(R);
    D.SelectedText = 0;
    D.SelectedImage = 0;

    D.three = R.ThreeValues != 0;
    D.TemplateNumber = R.TemplateNumber;
    D.Cl = Colors.Cl;
    D.cg1 = Colors.cg1;
    D.cg2 = Colors.cg2;
    D.cc1 = Colors.cc1;
    D.cc2 = Colors.cc2;
    D.BrLeft = R.BorderLeft != 0;
    D.BrRight = R.BorderRight != 0;
    D.BrTop = R.BorderTop != 0;
    D.BrBottom = R.BorderBottom != 0;
    D.clbord = Colors.clbord;

    for (int k = 0; k < 6; ++k)
        D.TextPositions[std::size_t(k)] = ClampElementOffset(R.TextPositions[k]);
    D.ValueEffects = {R.ValueEffects[0], R.ValueEffects[1], R.Value3Effect};
    if (R.GradientDirection == 1) D.dxH = true;
    if (R.GradientDirection == 2) D.dxH = false;

    D.forever = R.Forever != 0;
    // The controls hold these within their ranges.
    D.loops = std::max(R.Loops, 1);
    D.effectcombo = R.Transition >= 0 && R.Transition < TransitionKindCount ? R.Transition : trNone;
    D.Slider = std::clamp(R.Speed, TBannerDocument::SliderMin, TBannerDocument::SliderMax);
}

void ReadBannerDocument(TBannerDocument& D, std::string_view Bytes) {
    std::int32_t Version = 0;
    if (Bytes.size() >= 4) std::memcpy(&Version, Bytes.data(), 4);
    if (Version != BannerFileVersion) throw EBannerFileError(UnsupportedBannerFormatMessage);

    // A short file leaves the rest of the record zero.
    TBannerFileRecord R;
    std::memset(&R, 0, sizeof(R));
    const std::string_view Body = Bytes.substr(4);
    std::memcpy(&R, Body.data(), std::min(Body.size(), sizeof(R)));

    // A banner of no known composition cannot be shown; refusing it keeps the
    // open banner intact.
    const int Composition = R.Composition;
    if (Composition < ckOneText || Composition > ckTwoTexts)
        throw EBannerFileError(UnsupportedBannerFormatMessage);
    const bool TwoTexts = Composition != ckOneText;

    // Every colour is converted before the document changes: a bad colour text
    // raises the conversion error and leaves the banner as it was. So is
    // every value line and image field the banner draws: one that only
    // drawing found bad would fail after the document had changed. In a file
    // cut inside its settings the empty text is only the sign of the cut,
    // which is what the user is told.
    TBannerRecordColors Colors;
    try {
        Colors = ReadRecordColors(R);
        CheckDrawableElements(TCompositionKind(Composition), R.ThreeValues != 0, RecordTexts(R),
                              RecordImages(R));
    } catch (const EConvertError&) {
        if (Body.size() < sizeof(R)) throw EConvertError(CutDocumentReason);
        throw;
    }

    // A banner the renderer cannot draw would replace the open one with an
    // empty canvas; the size is checked before anything changes.
    if (!IsDrawableBannerSize(R.BannerWidth, R.BannerHeight))
        throw EBannerFileError(BannerSizeRefusedText);

    // The pictures are read into their own bitmaps so that nothing changes
    // before the whole file is read; a picture the file does not hold is
    // empty, never left over from the banner that was open.
    InitGraphicsModule(); // "clBtnFace" must read back as a colour
    std::array<TBitmap32, 4> Pictures;
    ReadBannerPictures(Bytes.substr(std::min(Bytes.size(), 4 + sizeof(R))), Pictures);

    D.Composition = TCompositionKind(Composition);
    D.BannerFormat = std::uint8_t(R.BannerFormat & 0xFF);
    D.BannerWidth = R.BannerWidth;
    D.BannerHeight = R.BannerHeight;

    ApplyBannerRecord(D, R, Colors);
    D.SelectedValue = 0;
    if (R.BackgroundKind >= bgColor && R.BackgroundKind <= bgImage)
        D.BackgroundKind = TBackgroundKind(R.BackgroundKind);
    D.Value3Position = {ClampElementOffset(R.Value3Position[0]),
                        ClampElementOffset(R.Value3Position[1])};
    D.AutoPositions = {R.AutoPositions[0], R.AutoPositions[1], R.AutoPositions[2],
                       R.Value3AutoPosition};
    D.FirstTextEffect = R.FirstTextEffect;
    if (TwoTexts) D.TextEffectCombo = teNone;
    // The animation plays the entry effect of the first image.
    D.ImageEffectCombo = D.ilv.empty() ? ieNone : KnownImageEffect(StrToIntDef(D.ilv[0].Effect, 0));

    for (int Index = 0; Index < 4; ++Index)
        Picture(D, Index).Assign(&Pictures[Index]);

    // The template is loaded for the stored number, then takes the stored key
    // colour.
    D.LoadTemplate();
    D.cp1 = Colors.cp1;
    RecolorDocumentTemplate(D);

    D.ExtImageFileName.clear();
    D.SavedBefore = true;
    D.Modified = false;
    D.Changed();
}

std::string DamagedDocumentMessage(const std::string& FileName) {
    return "Le fichier \"" + ExtractFileName(FileName) + "\" est endommagé : ";
}

int LoadBannerDocument(TBannerDocument& D, const std::string& FileName,
                       const TBannerConvertQuestion& Ask, const TBannerFileConverter& Convert) {
    std::int32_t Previous = 0;
    for (;;) {
        std::string Bytes;
        LoadFileBytesOrRaise(FileName, Bytes, MaxBannerFileSize);
        // Too short for its version (most often an empty file left by a copy
        // that failed): damaged, not written by a newer version.
        if (Bytes.size() < 4)
            throw EBannerFileError(DamagedDocumentMessage(FileName) + EmptyDocumentReason);
        std::int32_t Version = 0;
        std::memcpy(&Version, Bytes.data(), 4);
        // A converter that left the version where it was would ask forever.
        if (Previous != 0 && Version <= Previous)
            throw EBannerFileError(UnsupportedBannerFormatMessage);
        Previous = Version;
        // Every version we know starts its record with the composition: a
        // file without one of the three (cut after its version, or zeroed)
        // holds no banner, so it is neither converted nor sent to look for
        // a newer program.
        const int Composition = Bytes.size() > 4 ? std::uint8_t(Bytes[4]) : ckNone;
        if ((IsOldBannerFileVersion(Version) || Version == BannerFileVersion) &&
            (Composition < ckOneText || Composition > ckTwoTexts))
            throw EBannerFileError(DamagedDocumentMessage(FileName) + EmptyDocumentReason);
        if (!IsOldBannerFileVersion(Version)) {
            ReadBannerDocument(D, Bytes);
            return Version;
        }
        if (!Ask || !Convert || !Ask(OldBannerFormatQuestion)) return Version;
        // 10 goes to 40 in one answer, 30 and 40 to 50.
        if (Version == 10) {
            Convert(FileName, 10);
            Convert(FileName, 30);
        } else if (Version == 30) {
            Convert(FileName, 30);
            Convert(FileName, 40);
        } else {
            Convert(FileName, 40);
        }
    }
}
