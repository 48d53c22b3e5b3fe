#include "banner/BannerDocument.h"

#include "platform/base/Convert.h"
#include "platform/base/FileNames.h"
#include "raster/RasterModule.h"

// ---- Value lines.

std::vector<std::string> TBannerDocument::SplitValueLines(std::string_view Text) {
    std::vector<std::string> Lines;
    std::size_t Start = 0;
    std::size_t I = 0;
    while (I < Text.size()) {
        char C = Text[I];
        if (C == '\r' || C == '\n') {
            Lines.emplace_back(Text.substr(Start, I - Start));
            if (C == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') ++I;
            Start = I + 1;
        }
        ++I;
    }
    if (Start < Text.size()) Lines.emplace_back(Text.substr(Start));
    return Lines;
}

std::string TBannerDocument::JoinValueLines(const std::vector<std::string>& Lines) {
    std::string Result;
    for (std::size_t I = 0; I < Lines.size(); ++I) {
        if (I > 0) Result += ValueLineSeparator;
        Result += Lines[I];
    }
    return Result;
}

std::string TBannerDocument::GetValueLine(std::string_view Text, int N) {
    if (N < 0) return {};
    auto Lines = SplitValueLines(Text);
    if (std::size_t(N) >= Lines.size()) return {};
    return Lines[std::size_t(N)];
}

std::string TBannerDocument::SetValueLine(std::string_view Text, int N, std::string_view Line) {
    if (N < 0) return std::string(Text);
    auto Lines = SplitValueLines(Text);
    if (std::size_t(N) >= Lines.size()) Lines.resize(std::size_t(N) + 1);
    Lines[std::size_t(N)] = std::string(Line);
    return JoinValueLines(Lines);
}

int TBannerDocument::ValueCount(std::string_view Text) {
    return int(SplitValueLines(Text).size());
}

// ---- Colours.

std::string TBannerDocument::ColorText(TColor Color) {
    // Names registered by other components would not read back in a program
    // without them: documents hold base names and numbers only.
    return BaseColorToString(Color);
}

TColor TBannerDocument::ColorFromText(std::string_view Text) {
    return StringToColor(Text);
}

TColor32 TBannerDocument::ColorToColor32(TColor Color) {
    return ToColor32(Color);
}

// ---- Elements.

TTextValue TTextElement::Value(int K) const {
    using D = TBannerDocument;
    return {D::GetValueLine(Caption, K),    D::GetValueLine(Color, K), D::GetValueLine(FontName, K),
            D::GetValueLine(StyleIndex, K), D::GetValueLine(Size, K),  D::GetValueLine(Shadow, K)};
}

void TTextElement::SetValue(int K, const TTextValue& V) {
    using D = TBannerDocument;
    Caption = D::SetValueLine(Caption, K, V.Text);
    Color = D::SetValueLine(Color, K, V.Color);
    FontName = D::SetValueLine(FontName, K, V.FontName);
    StyleIndex = D::SetValueLine(StyleIndex, K, V.StyleIndex);
    Size = D::SetValueLine(Size, K, V.Size);
    Shadow = D::SetValueLine(Shadow, K, V.Shadow);
}

int TTextElement::ValueCount() const {
    return TBannerDocument::ValueCount(Caption);
}

std::string* TTextElement::SubItem(int Index) {
    switch (Index) {
    case 0:
        return &Color;
    case 1:
        return &FontName;
    case 2:
        return &StyleIndex;
    case 3:
        return &Size;
    case 4:
        return &Shadow;
    default:
        return nullptr;
    }
}

const std::string* TTextElement::SubItem(int Index) const {
    return const_cast<TTextElement*>(this)->SubItem(Index);
}

int TImageElement::PosX() const {
    return StrToInt(X);
}
int TImageElement::PosY() const {
    return StrToInt(Y);
}
int TImageElement::EffectIndex() const {
    return StrToInt(Effect);
}

std::string* TImageElement::SubItem(int Index) {
    switch (Index) {
    case 0:
        return &Transparent;
    case 1:
        return &TransparentColor;
    case 2:
        return &X;
    case 3:
        return &Y;
    case 4:
        return &Effect;
    default:
        return nullptr;
    }
}

const std::string* TImageElement::SubItem(int Index) const {
    return const_cast<TImageElement*>(this)->SubItem(Index);
}

// ---- The document.

TBannerDocument::TBannerDocument() {
    // The pictures below need the engine's routines; starting it is idempotent.
    InitRasterModules();
    FillDefaultImage();
}

TBannerDocument::~TBannerDocument() = default;

// The picture a new image element starts with: a light panel with a frame
// and its diagonals, so that an unchanged element is plainly a placeholder.
void TBannerDocument::FillDefaultImage() {
    const int W = DefaultImageWidth, H = DefaultImageHeight;
    Image2.SetDimensions(W, H);
    Image2.ClearToColor(MakeColor32(0xEE, 0xEE, 0xEE));
    const TColor32 Frame = MakeColor32(0x99, 0x99, 0x99);
    Image2.HorzLine(0, 0, W - 1, Frame);
    Image2.HorzLine(0, H - 1, W - 1, Frame);
    Image2.VertLine(0, 0, H - 1, Frame);
    Image2.VertLine(W - 1, 0, H - 1, Frame);
    for (int X = 0; X < W; ++X) {
        int Y = X * (H - 1) / (W - 1);
        Image2.WritePixel(X, Y, Frame);
        Image2.WritePixel(X, H - 1 - Y, Frame);
    }
}

void TBannerDocument::Changed() {
    if (OnChange) OnChange(this);
}

void TBannerDocument::RedrawDone(bool KeepSaveDisabled) {
    if (Composition == ckNone) return;
    Modified = !KeepSaveDisabled;
}

std::string TBannerDocument::Caption() const {
    if (Composition == ckNone) return ProgramTitle;
    return std::string(ProgramTitle) + " - " + ExtractFileName(FileName);
}

TTextElement* TBannerDocument::MainText() {
    int I = MainTextIndex();
    if (Composition == ckNone || I >= int(tlv.size())) return nullptr;
    return &tlv[std::size_t(I)];
}

const TTextElement* TBannerDocument::MainText() const {
    return const_cast<TBannerDocument*>(this)->MainText();
}

TTextElement* TBannerDocument::FirstText() {
    if (Composition != ckTwoTextsImage && Composition != ckTwoTexts) return nullptr;
    if (tlv.empty()) return nullptr;
    return &tlv[0];
}

const TTextElement* TBannerDocument::FirstText() const {
    return const_cast<TBannerDocument*>(this)->FirstText();
}

std::vector<TTextValue> TBannerDocument::ActiveValues() const {
    std::vector<TTextValue> Values;
    if (const TTextElement* Main = MainText())
        for (int K = 0; K < ActiveValueCount(); ++K)
            Values.push_back(Main->Value(K));
    return Values;
}

TBitmap32* TBannerDocument::ImagePicture(int Index) {
    switch (Index) {
    case 0:
        return &Image1;
    case 1:
        return &Extimage1;
    case 2:
        return &extimage2;
    default:
        return nullptr;
    }
}

const TBitmap32* TBannerDocument::ImagePicture(int Index) const {
    return const_cast<TBannerDocument*>(this)->ImagePicture(Index);
}

THitRect* TBannerDocument::HitRectValue(int V) {
    switch (V) {
    case 1:
        return &HitRectValue1;
    case 2:
        return &HitRectValue2;
    case 3:
        return &HitRectValue3;
    default:
        return nullptr;
    }
}

THitRect* TBannerDocument::HitRectImage(int Index) {
    switch (Index) {
    case 0:
        return &HitRectImage1;
    case 1:
        return &HitRectImage2;
    case 2:
        return &HitRectImage3;
    default:
        return nullptr;
    }
}

std::string TBannerDocument::TextElementName(int Index) {
    return "Texte #" + std::to_string(Index + 1);
}

std::string TBannerDocument::ImageElementName(int Index) {
    return "Image #" + std::to_string(Index + 1);
}

void TBannerDocument::LoadTemplate() {
    if (TemplateLoader) {
        TemplateLoader(*this);
    } else {
        Tex.Delete();
    }
}

void TBannerDocument::ResetAnimationSettings() {
    forever = true;
    loops = 1;
    effectcombo = trNone;
    Slider = SliderMax / 2 + 1;
}

void TBannerDocument::CloseBanner() {
    Composition = ckNone;
    tlv.clear();
    ilv.clear();
    SelectedText = SelectedValue = SelectedImage = 0;
    HitRectText1 = HitRectValue1 = HitRectValue2 = HitRectValue3 = {};
    HitRectImage1 = HitRectImage2 = HitRectImage3 = {};
    Modified = false;
    Changed();
}

namespace {

// A text element whose every property repeats Line once per value.
TTextElement MakeTextElement(const std::vector<std::string>& Values, const std::string& Color,
                             const std::string& Style, const std::string& Size) {
    TTextElement E;
    auto Repeat = [&](const std::string& Line) {
        return TBannerDocument::JoinValueLines(std::vector<std::string>(Values.size(), Line));
    };
    E.Caption = TBannerDocument::JoinValueLines(Values);
    E.Color = Repeat(Color);
    E.FontName = Repeat("Segoe UI");
    E.StyleIndex = Repeat(Style);
    E.Size = Repeat(Size);
    E.Shadow = Repeat("0");
    return E;
}

} // namespace

// Shared by the three set-ups: effects cleared, the selection at the top,
// the template of the format loaded into Tex.
static void FinishSetUp(TBannerDocument& D, int TemplateIndex) {
    D.FirstTextEffect = teNone;
    D.ValueEffects = {};
    D.SelectedText = 0;
    D.SelectedValue = 0;
    D.SelectedImage = 0;
    D.TemplateNumber = TemplateIndex;
    D.LoadTemplate();
}

void TBannerDocument::SetUpComposition1() {
    static constexpr const char* Sizes[4] = {"16", "14", "17", "17"};
    static constexpr TBackgroundKind Kinds[4] = {bgTemplate, bgGradient, bgGradient, bgGradient};
    static constexpr int Templates[4] = {39, 0, 0, 0};
    const int F = BannerFormat;
    if (F > 3) return;
    tlv.clear();
    tlv.push_back(
        MakeTextElement({"Texte 1-1", "Texte 1-2", "Texte 1-3"}, "clgray", "0", Sizes[F]));
    Cl = TColor(0x00FF8080);
    cg1 = TColor(0x0099CCFF);
    cg2 = clWhite;
    dxH = false;
    BrLeft = BrRight = BrTop = BrBottom = false;
    AutoPositions[0] = 1;
    AutoPositions[1] = 1;
    BackgroundKind = Kinds[F];
    FinishSetUp(*this, Templates[F]);
}

void TBannerDocument::SetUpComposition2() {
    static constexpr const char* FirstSizes[4] = {"13", "12", "17", "18"};
    static constexpr const char* MainSizes[4] = {"11", "10", "14", "15"};
    static constexpr int Templates[4] = {7, 0, 0, 0};
    static constexpr int ImagePos[4][2] = {{55, 7}, {15, 7}, {15, 7}, {100, 11}};
    const int F = BannerFormat;
    if (F > 3) return;
    tlv.clear();
    tlv.push_back(MakeTextElement({"Texte 1"}, ColorText(TColor(0x00333333)), "0", FirstSizes[F]));
    tlv.push_back(
        MakeTextElement({"Texte 2-1", "Texte 2-2", "Texte 2-3"}, "clgray", "0", MainSizes[F]));
    Image1.Assign(&Image2);
    Extimage1.Assign(&Image2);
    extimage2.Assign(&Image2);
    BackgroundKind = bgTemplate;
    BrLeft = BrRight = BrTop = BrBottom = false;
    ilv.clear();
    TImageElement Img;
    Img.Transparent = "1";
    Img.TransparentColor = "clWhite";
    Img.X = std::to_string(ImagePos[F][0]);
    Img.Y = std::to_string(ImagePos[F][1]);
    Img.Effect = "0";
    ilv.push_back(Img);
    FinishSetUp(*this, Templates[F]);
}

void TBannerDocument::SetUpComposition3() {
    struct TRow {
        const char* FirstStyle;
        const char* FirstSize;
        const char* MainColor;
        const char* MainSize;
        TColor cc2;
        int Template;
    };
    static constexpr TRow Rows[4] = {
        {"1", "12", "clblack", "11", TColor(0x00FFDDBB), 37},
        {"2", "11", "clwhite", "10", TColor(0x00D9C3B1), 0},
        {"2", "16", "clwhite", "13", TColor(0x00D9C3B1), 0},
        {"2", "18", "clwhite", "14", TColor(0x00D9C3B1), 0},
    };
    const int F = BannerFormat;
    if (F > 3) return;
    const TRow& R = Rows[F];
    tlv.clear();
    tlv.push_back(MakeTextElement({"Texte 1"}, "ClBlack", R.FirstStyle, R.FirstSize));
    tlv.push_back(
        MakeTextElement({"Texte 2-1", "Texte 2-2", "Texte 2-3"}, R.MainColor, "0", R.MainSize));
    // The gradient keeps whatever colours and direction the window held.
    BackgroundKind = bgGradient;
    cc1 = clWhite;
    cc2 = R.cc2;
    clbord = TColor(9868950);
    BrLeft = BrRight = BrTop = BrBottom = true;
    FinishSetUp(*this, R.Template);
}

void TBannerDocument::NewBanner(const TNewBannerOptions& Options) {
    // The dialog offers "Composition 1" and "Composition 3" only.
    if (Options.ModelIndex < 0 || Options.ModelIndex > 2) return;
    FileName = Options.Name;
    Composition = Options.ModelIndex == 0 ? ckOneText : ckTwoTexts;
    BannerWidth = Options.Width;
    BannerHeight = Options.Height;
    BannerFormat = std::uint8_t(Options.FormatIndex == bfCustom ? bfStandard : Options.FormatIndex);
    tlv.clear();
    ilv.clear();
    if (Composition == ckOneText) SetUpComposition1();
    if (Composition == ckTwoTexts) SetUpComposition3();
    SelectedText = SelectedValue = SelectedImage = 0;
    TextEffectCombo = teNone;
    ImageEffectCombo = ieNone;
    three = true;
    effectcombo = trNone;
    AutoPositions = {1, 1, 1, 1};
    ResetAnimationSettings();
    custom = false;
    TextPositions = {};
    Value3Position = {};
    ExtImageFileName.clear();
    extimage.Delete();
    SavedBefore = false;
    Modified = false;
    Changed();
}
