#include "resources/ExampleBanners.h"

#include <algorithm>
#include <array>
#include <memory>
#include <set>
#include <vector>

#include "banner/AnimationBuilder.h"
#include "banner/BannerDocument.h"
#include "banner/DocumentFile.h"
#include "banner/Templates.h"
#include "editor/UExamples.h"
#include "platform/base/Convert.h"
#include "platform/base/Exception.h"
#include "platform/base/FileNames.h"
#include "platform/base/Text.h"
#include "platform/classes/Strings.h"
#include "platform/system/IniFiles.h"

namespace {

// The dialog's table: the name prefix and folder of each format, and how
// many examples of each composition it lists.
struct TExampleFormat {
    const char* Prefix; // "GR-": the files are GR/GR-E<c>-<n>
    int Count;
};
constexpr std::array<TExampleFormat, 4> ExampleFormats{
    {{"", 10}, {"DB-", 2}, {"GR-", 2}, {"LB-", 2}}};
constexpr std::array<int, 2> ExampleCompositions{ckOneText, ckTwoTexts};

std::string ExampleSection(int Format, int Composition, int Number) {
    return std::string(ExampleFormats[std::size_t(Format)].Prefix) + "E" +
           std::to_string(Composition) + "-" + std::to_string(Number);
}

// Reads the entries of one section and says which one was wrong.
class TExampleReader {
public:
    TExampleReader(TCustomIniFile& Ini, const std::string& Section) : FIni(Ini), FSection(Section) {
        TStringList Keys;
        FIni.ReadSection(FSection, &Keys);
        for (int i = 0; i < Keys.Count(); ++i)
            if (!Known(Keys.Strings(i))) Fail(Keys.Strings(i), "unknown key");
    }

    bool Has(const std::string& Key) { return FIni.ValueExists(FSection, Key); }
    std::string Text(const std::string& Key) {
        if (!Has(Key)) Fail(Key, "missing");
        return FIni.ReadString(FSection, Key, "");
    }

    // One entry per value, or one for them all; Count values.
    std::vector<std::string> PerValue(const std::string& Key, std::size_t Count) {
        std::vector<std::string> Items = Split(Text(Key), '|');
        if (Items.size() == 1) Items.resize(Count, Items[0]);
        if (Items.size() != Count) Fail(Key, "needs one entry per value, or one for all");
        return Items;
    }

    TColor Color(const std::string& Key, const std::string& Value) {
        if (Value.size() == 7 && Value[0] == '#') {
            int RGB = 0;
            if (!TryStrToInt("$" + Value.substr(1), RGB)) Fail(Key, "bad colour " + Value);
            // #RRGGBB as written by designers; the document holds $00BBGGRR.
            return TColor(((RGB & 0xFF) << 16) | (RGB & 0xFF00) | ((RGB >> 16) & 0xFF));
        }
        try {
            return TBannerDocument::ColorFromText(Value);
        } catch (const EConvertError&) {
            Fail(Key, "bad colour " + Value);
        }
    }

    // Index of Value among the names Name(0..Count-1) gives.
    template <class F>
    int Named(const std::string& Key, const std::string& Value, F Name, int Count) {
        for (int i = 0; i < Count; ++i)
            if (Name(i) == Value) return i;
        Fail(Key, "unknown name " + Value);
    }

    int Integer(const std::string& Key, const std::string& Value, int Min, int Max) {
        int Result = 0;
        if (!TryStrToInt(Value, Result) || Result < Min || Result > Max)
            Fail(Key, "needs a number from " + std::to_string(Min) + " to " + std::to_string(Max));
        return Result;
    }

    bool YesNo(const std::string& Key, const std::string& Value) {
        if (Value == "yes") return true;
        if (Value != "no") Fail(Key, "needs yes or no");
        return false;
    }

    [[noreturn]] void Fail(const std::string& Key, const std::string& What) const {
        throw EConvertError("[" + FSection + "] " + Key + ": " + What);
    }

    static std::vector<std::string> Split(const std::string& Text, char Separator) {
        std::vector<std::string> Items;
        std::size_t Start = 0;
        for (;;) {
            const std::size_t End = Text.find(Separator, Start);
            Items.push_back(Trim(Text.substr(Start, End - Start)));
            if (End == std::string::npos) return Items;
            Start = End + 1;
        }
    }
    // Words separated by blanks.
    static std::vector<std::string> Words(const std::string& Text) {
        std::vector<std::string> Items;
        for (const std::string& Item : Split(Text, ' '))
            if (!Item.empty()) Items.push_back(Item);
        return Items;
    }

private:
    static bool Known(const std::string& Key) {
        static const std::set<std::string> Keys{
            "text",        "color",      "font",         "style",        "size",
            "shadow",      "effect",     "first.text",   "first.color",  "first.font",
            "first.style", "first.size", "first.shadow", "first.effect", "background",
            "colors",      "direction",  "template",     "key",          "border",
            "three",       "transition", "speed",        "loops"};
        return Keys.count(LowerCase(Key)) > 0;
    }

    TCustomIniFile& FIni;
    std::string FSection;
};

std::string StyleIndex(TExampleReader& R, const std::string& Key, const std::string& Value) {
    static constexpr std::array<const char*, 4> Styles{"regular", "bold", "italic", "bold italic"};
    return std::to_string(R.Named(
        Key, Value, [](int i) { return Styles[std::size_t(i)]; }, 4));
}

// Fills text element Element from the keys Prefix + "text", "color"...
// (Prefix "first." for the first text); returns the effects of its values.
std::vector<int> DefineText(TExampleReader& R, TTextElement& Element, const std::string& Prefix,
                            std::size_t MaxValues) {
    const std::vector<std::string> Values = TExampleReader::Split(R.Text(Prefix + "text"), '|');
    if (Values.size() > MaxValues || (MaxValues > 1 && Values.size() < 2))
        R.Fail(Prefix + "text",
               "needs " + std::string(MaxValues > 1 ? "two or three values" : "one value"));
    const std::size_t N = Values.size();
    std::vector<std::string> Colors, Styles, Shadows;
    for (const std::string& C : R.PerValue(Prefix + "color", N))
        Colors.push_back(TBannerDocument::ColorText(R.Color(Prefix + "color", C)));
    for (const std::string& S : R.PerValue(Prefix + "style", N))
        Styles.push_back(StyleIndex(R, Prefix + "style", S));
    std::vector<std::string> Sizes = R.PerValue(Prefix + "size", N);
    for (const std::string& S : Sizes)
        R.Integer(Prefix + "size", S, 6, 72);
    const std::vector<std::string> ShadowEntries = R.Has(Prefix + "shadow")
                                                       ? R.PerValue(Prefix + "shadow", N)
                                                       : std::vector<std::string>(N, "no");
    for (const std::string& S : ShadowEntries)
        Shadows.push_back(R.YesNo(Prefix + "shadow", S) ? "1" : "0");
    std::vector<int> Effects;
    for (const std::string& E : R.PerValue(Prefix + "effect", N))
        Effects.push_back(R.Named(Prefix + "effect", E, TextEffectName, TextEffectCount));

    using D = TBannerDocument;
    Element.Caption = D::JoinValueLines(Values);
    Element.Color = D::JoinValueLines(Colors);
    Element.FontName = D::JoinValueLines(R.PerValue(Prefix + "font", N));
    Element.StyleIndex = D::JoinValueLines(Styles);
    Element.Size = D::JoinValueLines(Sizes);
    Element.Shadow = D::JoinValueLines(Shadows);
    return Effects;
}

void DefineBackground(TExampleReader& R, TBannerDocument& D) {
    const auto KindName = [](int i) { return BackgroundKindName(i); };
    const int Kind = R.Named("background", R.Text("background"), KindName, bgImage);
    D.BackgroundKind = TBackgroundKind(Kind);
    if (Kind == bgTemplate) {
        const std::vector<std::string> Names = TemplateNames(D.BannerFormat);
        const auto Name = [&](int i) { return Names[std::size_t(i)]; };
        D.TemplateNumber = R.Named("template", R.Text("template"), Name, int(Names.size()));
        D.LoadTemplate();
        if (D.Tex.Empty()) R.Fail("template", "no such template file");
        D.cp1 = R.Color("key", R.Text("key"));
        RecolorDocumentTemplate(D);
        return;
    }
    const std::vector<std::string> Colors = TExampleReader::Words(R.Text("colors"));
    if (Colors.size() != (Kind == bgColor ? 1u : 2u))
        R.Fail("colors", Kind == bgColor ? "needs one colour" : "needs two colours");
    if (Kind == bgColor) {
        D.Cl = R.Color("colors", Colors[0]);
    } else if (Kind == bgGradient) {
        D.cg1 = R.Color("colors", Colors[0]);
        D.cg2 = R.Color("colors", Colors[1]);
        const std::string Direction = R.Text("direction");
        if (Direction != "horizontal" && Direction != "vertical")
            R.Fail("direction", "needs horizontal or vertical");
        D.dxH = Direction == "horizontal";
    } else {
        D.cc1 = R.Color("colors", Colors[0]);
        D.cc2 = R.Color("colors", Colors[1]);
    }
}

void DefineBorder(TExampleReader& R, TBannerDocument& D) {
    D.BrLeft = D.BrRight = D.BrTop = D.BrBottom = false;
    if (!R.Has("border")) return;
    std::vector<std::string> Words = TExampleReader::Words(R.Text("border"));
    if (Words.size() == 1 && Words[0] == "none") return;
    if (Words.size() < 2) R.Fail("border", "needs the sides and a colour");
    D.clbord = R.Color("border", Words.back());
    Words.pop_back();
    for (const std::string& Side : Words) {
        if (Side == "all")
            D.BrLeft = D.BrRight = D.BrTop = D.BrBottom = true;
        else if (Side == "left")
            D.BrLeft = true;
        else if (Side == "right")
            D.BrRight = true;
        else if (Side == "top")
            D.BrTop = true;
        else if (Side == "bottom")
            D.BrBottom = true;
        else
            R.Fail("border", "unknown side " + Side);
    }
}

void DefineAnimation(TExampleReader& R, TBannerDocument& D) {
    if (R.Has("three")) D.three = R.YesNo("three", R.Text("three"));
    if (D.three && D.MainText()->ValueCount() < 3) R.Fail("three", "needs three values");
    if (R.Has("transition"))
        D.effectcombo =
            R.Named("transition", R.Text("transition"), TransitionKindName, TransitionKindCount);
    if (R.Has("speed"))
        D.Slider = R.Integer("speed", R.Text("speed"), TBannerDocument::SliderMin,
                             TBannerDocument::SliderMax);
    if (R.Has("loops")) {
        const std::string Loops = R.Text("loops");
        D.forever = Loops == "forever";
        if (!D.forever) D.loops = R.Integer("loops", Loops, 1, 65535);
    }
}

} // namespace

bool ParseExampleName(const std::string& Section, TExampleName& Name) {
    for (int Format = 0; Format < int(ExampleFormats.size()); ++Format)
        for (int Composition : ExampleCompositions)
            for (int Number = 1; Number <= ExampleFormats[std::size_t(Format)].Count; ++Number) {
                if (Section != ExampleSection(Format, Composition, Number)) continue;
                const std::string Prefix = ExampleFormats[std::size_t(Format)].Prefix;
                // "GR-" files live in the folder "GR".
                const std::string Folder =
                    Prefix.empty() ? "" : Prefix.substr(0, Prefix.size() - 1) + PathDelim;
                Name = {Folder + Section, Format, Composition, Number};
                return true;
            }
    return false;
}

void DefineExample(TBannerDocument& D, TCustomIniFile& Ini, const std::string& Section) {
    TExampleName Name;
    if (!ParseExampleName(Section, Name))
        throw EConvertError("[" + Section + "] is not an example of the dialog's table");
    TExampleReader R(Ini, Section);

    TNewBannerOptions Options;
    Options.Name = ExtractFileName(Name.Base);
    Options.ModelIndex = Name.Composition == ckOneText ? 0 : 1;
    Options.FormatIndex = Name.Format;
    BannerFormatSize(Name.Format, Options.Width, Options.Height);
    D.NewBanner(Options);

    // Composition 1 holds the main text alone; composition 3 a first text
    // (one value) before it.
    std::vector<int> Effects = DefineText(R, *D.MainText(), "", 3);
    D.three = Effects.size() == 3;
    Effects.resize(3, teNone);
    std::copy(Effects.begin(), Effects.end(), D.ValueEffects.begin());
    if (Name.Composition == ckTwoTexts)
        D.FirstTextEffect = DefineText(R, *D.FirstText(), "first.", 1)[0];
    else if (R.Has("first.text"))
        R.Fail("first.text", "composition 1 has no first text");

    DefineBackground(R, D);
    DefineBorder(R, D);
    DefineAnimation(R, D);
    D.Modified = false;
}

int WriteExamples(const std::string& DefinitionsFile, const std::string& BackFolder,
                  const std::string& ExamplesFolder, int Part, int Parts) {
    if (!FileExists(DefinitionsFile))
        throw EFOpenError("Cannot open file \"" + DefinitionsFile + "\"");
    TMemIniFile Ini(DefinitionsFile);
    TStringList Sections;
    Ini.ReadSections(&Sections);

    // The dialog lists every example of its table: none may be missing.
    std::set<std::string> Defined;
    for (int i = 0; i < Sections.Count(); ++i)
        Defined.insert(Sections.Strings(i));
    for (int Format = 0; Format < int(ExampleFormats.size()); ++Format)
        for (int Composition : ExampleCompositions)
            for (int Number = 1; Number <= ExampleFormats[std::size_t(Format)].Count; ++Number)
                if (!Defined.count(ExampleSection(Format, Composition, Number)))
                    throw EConvertError("[" + ExampleSection(Format, Composition, Number) +
                                        "] is not defined");

    auto Templates = std::make_shared<TTemplateModel>();
    Templates->BackFolder = IncludeTrailingPathDelimiter(BackFolder);
    const std::string Folder = IncludeTrailingPathDelimiter(ExamplesFolder);
    int Written = 0;
    for (int i = Part; i < Sections.Count(); i += Parts) {
        const std::string Section = Sections.Strings(i);
        TExampleName Name;
        ParseExampleName(Section, Name);
        TBannerDocument Example;
        Example.TemplateLoader = MakeTemplateLoader(Templates);
        DefineExample(Example, Ini, Section);
        const std::string Base = Folder + Name.Base;
        if (!ForceDirectories(ExtractFileDir(Base)))
            throw EFCreateError("Cannot create folder \"" + ExtractFileDir(Base) + "\"");
        const std::string DocumentFile = Base + "." + BannerFileExtension;
        SaveBannerDocument(Example, DocumentFile);

        // The preview is what exporting gives for the banner the dialog's OK
        // starts from this document (which puts the loop, transition, speed,
        // positions and first-text effect back to their defaults), so it
        // shows exactly what the user's copy starts from.
        TBannerDocument Created;
        Created.TemplateLoader = Example.TemplateLoader;
        TExampleChoice Choice;
        Choice.Name = ExtractFileName(Name.Base);
        Choice.ModelsRow = Name.Composition == ckOneText ? 0 : 1;
        Choice.FormatRow = Name.Format;
        Choice.ExampleRow = Name.Number - 1;
        BannerFormatSize(Name.Format, Choice.Width, Choice.Height);
        Choice.Folder = Folder;
        NewBannerFromExample(Created, Choice);
        TAnimationPreview Animation;
        Animation.BuildAnimation(Created);
        Animation.OptimizeAnimation();
        Animation.ExportAnimation(Base + ".gif");
        ++Written;
    }
    return Written;
}
