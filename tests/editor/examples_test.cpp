#include "editor/UExamples.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "banner/AnimationBuilder.h"
#include "banner/BannerDocument.h"
#include "banner/BannerRenderer.h"
#include "banner/DocumentCommands.h"
#include "banner/DocumentFile.h"
#include "banner/TemplateArt.h"
#include "banner/Templates.h"
#include "controls/SpinEdit.h"
#include "editor/GifImageTarget.h"
#include "editor/Program.h"
#include "editor/UMain.h"
#include "editor/UTexform.h"
#include "gif/GifImage.h"
#include "gif/GifPainter.h"
#include "platform/base/Exception.h"
#include "platform/classes/Stream.h"
#include "platform/forms/Application.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/system/Thread.h"
#include "raster/RasterImage.h"
#include "support/FormsTest.h"

namespace fs = std::filesystem;

namespace {

class Examples : public TFormsTest {
protected:
    void SetUp() override {
        TFormsTest::SetUp();
        Folder = fs::temp_directory_path() /
                 ("qm_examples_" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(Folder);
        fs::create_directories(Folder / "GR");
    }
    void TearDown() override {
        TFormsTest::TearDown();
        fs::remove_all(Folder);
    }
    std::string Dir() const { return Folder.string() + "/"; }

    fs::path Folder;
};

// A two-frame 2x1 GIF: red, then green, each shown for a long time.
std::unique_ptr<TGIFImage> TwoFrames() {
    auto Gif = TGIFImage::CreateEmpty();
    Gif->Header().SetWidth(2);
    Gif->Header().SetHeight(1);
    for (TColor Colour : {TColor(clRed), TColor(clLime)}) {
        auto Frame = std::make_unique<TGIFSubImage>(Gif.get());
        TGIFSubImage* F = Frame.get();
        Gif->AppendFrame(std::move(Frame));
        F->SetBounds(0, 0, 2, 1);
        F->ColorMap().Add(Colour);
        F->ColorMap().Add(clBlack);
        F->Data()[0] = 0;
        F->Data()[1] = 0;
        F->Extensions().AppendItem(TGIFGraphicControlExtension::CreateForFrame(F));
        F->GraphicControlExtension()->SetDelay(100);
    }
    return Gif;
}

void WritePreview(const std::string& FileName) {
    TwoFrames()->SaveToFile(FileName);
}

template <class F> bool PumpUntil(F Done) {
    for (int i = 0; i < 400 && !Done(); ++i)
        CheckSynchronize(5);
    return Done();
}

std::string ExampleBytes(TCompositionKind Composition) {
    TBannerDocument D;
    TNewBannerOptions O;
    O.ModelIndex = Composition == ckOneText ? 0 : 2;
    D.NewBanner(O);
    D.tlv[0].Caption = "Soldes\rPromo";
    D.Cl = 0x00123456;
    D.BackgroundKind = bgGradient;
    D.forever = false;
    D.loops = 4;
    D.Slider = 3;
    D.TextPositions = {5, 6, 7, 8, 9, 10};
    D.Value3Position = {11, 12};
    D.AutoPositions = {0, 0, 0, 0};
    D.FirstTextEffect = 2;
    return BannerDocumentBytes(D);
}

void WriteBytes(const std::string& FileName, const std::string& Bytes) {
    std::ofstream(FileName, std::ios::binary) << Bytes;
}

} // namespace

TEST(ExamplePaths, FollowTheFormatTable) {
    EXPECT_EQ(ExamplePreviewPath("/x/", 0, 1, 10), "/x/E1-10.gif");
    EXPECT_EQ(ExampleDocumentPath("/x/", 0, 3, 2), "/x/E3-2.qmkf");
    EXPECT_EQ(ExamplePreviewPath("/x/", 1, 3, 1), "/x/DB/DB-E3-1.gif");
    EXPECT_EQ(ExampleDocumentPath("/x/", 2, 1, 2), "/x/GR/GR-E1-2.qmkf");
    EXPECT_EQ(ExamplePreviewPath("/x/", 3, 1, 1), "/x/LB/LB-E1-1.gif");
    EXPECT_EQ(ExamplePreviewPath("/x/", 4, 1, 1), "");
    EXPECT_EQ(ExampleComposition(0), 1);
    EXPECT_EQ(ExampleComposition(1), 3);
    EXPECT_EQ(ExampleCount(0), 10);
    EXPECT_EQ(ExampleCount(3), 2);
}

TEST_F(Examples, CreationListsTheStandardExamples) {
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);
    TExamplesform* F = nullptr;
    Application->CreateForm(F);
    EXPECT_EQ(F->Caption(), "Créer à partir d'un exemple");
    EXPECT_EQ(F->Bnedit->Text(), "sans_nom");
    ASSERT_EQ(F->Models->Items()->Count(), 2);
    EXPECT_EQ(F->Models->Items()->Strings(1), "Composition 3:       2 Textes ");
    ASSERT_EQ(F->formatcombo->Items()->Count(), 4);
    EXPECT_EQ(F->formatcombo->Items()->Strings(2), "Grand rectangle (300 x 250)");
    ASSERT_EQ(F->Exlist->Items()->Count(), 10);
    EXPECT_EQ(F->Exlist->Items()->Strings(9), "Exemple 10");
    EXPECT_EQ(F->Exlist->ItemIndex(), 0);
    EXPECT_FALSE(F->pan->Visible());
    EXPECT_FALSE(F->bannerwidth->Enabled());
    EXPECT_EQ(F->bannerwidth->GetIntegerValue(), 468);
    EXPECT_EQ(F->Timer1->Interval(), 600u);
    // No examples beside the test program: an empty preview, no message.
    EXPECT_EQ(F->PreviewGIF(), nullptr);
    EXPECT_TRUE(F->image->Bitmap()->Empty());
    EXPECT_TRUE(Dialogs.Calls.empty());
}

TEST_F(Examples, LargeRectanglePlaysItsFirstExample) {
    WritePreview(Dir() + "GR/GR-E1-1.gif");
    TExamplesform* F = nullptr;
    Application->CreateForm(F);
    F->SetExamplesFolder(Folder.string());
    F->formatcombo->UserSelect(2);
    ASSERT_EQ(F->Exlist->Items()->Count(), 2);
    EXPECT_EQ(F->bannerwidth->GetIntegerValue(), 300);
    EXPECT_EQ(F->bannerheight->GetIntegerValue(), 250);
    EXPECT_EQ(F->PreviewPath(), Dir() + "GR/GR-E1-1.gif");
    ASSERT_NE(F->PreviewGIF(), nullptr);
    TBitmap32* Shown = F->image->Bitmap();
    ASSERT_EQ(Shown->Width(), 2);
    EXPECT_TRUE(PumpUntil([&] { return (*Shown->PixelPtr(1, 0) & 0xFFFFFF) == 0xFF0000; }));

    // Composition 3 has no preview here: the preview empties and the painter
    // is gone.
    F->Models->UserSelect(1);
    EXPECT_EQ(F->PreviewGIF(), nullptr);
    EXPECT_EQ(F->PreviewPainter(), nullptr);
    EXPECT_TRUE(F->image->Bitmap()->Empty());

    // A damaged preview reads as a missing one.
    WriteBytes(Dir() + "GR/GR-E3-2.gif", "GIF89a\x02");
    F->Exlist->UserSelect(1);
    EXPECT_EQ(F->PreviewGIF(), nullptr);

    // Freed while playing: the painter stops first.
    F->Models->UserSelect(0);
    F->Exlist->UserSelect(0);
    ASSERT_NE(F->PreviewGIF(), nullptr);
    delete F;
}

TEST_F(Examples, ImageTargetDrawsOnTheControlUntilDetached) {
    TImage32 Image(nullptr);
    auto Gif = TwoFrames();
    Gif->SetBackdropColor(clBlue);
    TGIFImageTarget Target(&Image);
    ASSERT_EQ(Target.Prepare(*Gif), TRect(0, 0, 2, 1));
    EXPECT_EQ(*Image.Bitmap()->PixelPtr(1, 0) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(Target.Canvas(), Image.Bitmap()->Canvas());
    Target.Detach();
    EXPECT_FALSE(Target.Valid());
    EXPECT_EQ(Target.Canvas(), nullptr);
}

TEST_F(Examples, OkSetsTheBannerUpFromTheExampleWithDefaultAnimation) {
    WriteBytes(Dir() + "GR/GR-E3-2.qmkf", ExampleBytes(ckTwoTexts));
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);
    TExampleChoice C;
    C.Name = "promo";
    C.ModelsRow = 1;
    C.FormatRow = 2;
    C.ExampleRow = 1;
    C.Width = 300;
    C.Height = 250;
    C.Folder = Dir();
    TBannerDocument D;
    D.Modified = true;
    EXPECT_TRUE(NewBannerFromExample(D, C));
    EXPECT_TRUE(Dialogs.Calls.empty());
    EXPECT_EQ(D.Composition, ckTwoTexts);
    EXPECT_EQ(D.BannerFormat, 2);
    EXPECT_EQ(D.BannerWidth, 300);
    ASSERT_EQ(D.tlv.size(), 2u);
    EXPECT_EQ(D.tlv[0].Caption, "Soldes\rPromo");
    EXPECT_EQ(D.Cl, TColor(0x00123456));
    EXPECT_EQ(D.BackgroundKind, bgGradient);
    // The example's animation and positions give way to the defaults.
    EXPECT_TRUE(D.forever);
    EXPECT_EQ(D.loops, 1);
    EXPECT_EQ(D.Slider, TBannerDocument::SliderMax / 2 + 1);
    EXPECT_EQ(D.TextPositions, (std::array<std::int32_t, 6>{}));
    EXPECT_EQ(D.Value3Position, (std::array<std::int32_t, 2>{}));
    EXPECT_EQ(D.AutoPositions, (std::array<std::uint8_t, 4>{1, 1, 1, 1}));
    EXPECT_EQ(D.FirstTextEffect, 0);
    EXPECT_EQ(D.FileName, "promo");
    EXPECT_FALSE(D.Modified);
    EXPECT_FALSE(D.SavedBefore);
}

TEST_F(Examples, MissingOrBrokenExamples) {
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);
    TExampleChoice C;
    C.Folder = Dir();
    TBannerDocument D;
    EXPECT_FALSE(NewBannerFromExample(D, C));
    ASSERT_EQ(Dialogs.Calls.size(), 1u);
    EXPECT_EQ(Dialogs.Calls[0].Text, MissingExampleMessage);
    EXPECT_EQ(Dialogs.Calls[0].DlgType, mtWarning);
    EXPECT_EQ(D.Composition, ckOneText);
    EXPECT_EQ(D.tlv.size(), 1u);

    // A colour that is not one, or a record cut short, changes nothing.
    std::string Bytes = ExampleBytes(ckOneText);
    const std::size_t ClAt = 4 + offsetof(TBannerFileRecord, ClColor);
    Bytes[ClAt] = 5;
    std::memcpy(&Bytes[ClAt + 1], "bleuu", 5);
    WriteBytes(Dir() + "E1-1.qmkf", Bytes);
    D.Cl = clWhite;
    D.FileName = "before";
    EXPECT_THROW(NewBannerFromExample(D, C), EConvertError);
    EXPECT_EQ(D.FileName, "before");
    WriteBytes(Dir() + "E1-1.qmkf", Bytes.substr(0, 100));
    EXPECT_THROW(NewBannerFromExample(D, C), EReadError);
    EXPECT_EQ(D.FileName, "before");
    EXPECT_EQ(D.Cl, clWhite);
}

TEST_F(Examples, ExecuteRunsOnlyAfterOkAndTheSaveQuestion) {
    WriteBytes(Dir() + "E1-1.qmkf", ExampleBytes(ckOneText));
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);
    TExamplesform* F = nullptr;
    Application->CreateForm(F);
    F->SetExamplesFolder(Dir());
    TBannerDocument D;
    TDocumentCommands Commands(D);

    Application->OnIdle = [&](TObject*, bool&) { F->CancelBtn->Click(); };
    EXPECT_EQ(F->Execute(D, Commands), mrCancel);
    EXPECT_EQ(D.Composition, ckNone);

    // A modified banner whose save question is cancelled stays as it was.
    D.Modified = true;
    Dialogs.Answers.push_back(mrCancel);
    Application->OnIdle = [&](TObject*, bool&) { F->OKBtn->Click(); };
    EXPECT_EQ(F->Execute(D, Commands), mrCancel);
    ASSERT_EQ(Dialogs.Calls.size(), 1u);
    EXPECT_EQ(Dialogs.Calls[0].Text, AskSaveChangesQuestion);
    EXPECT_EQ(D.Composition, ckNone);

    Dialogs.Answers.push_back(mrNo);
    Application->OnIdle = [&](TObject*, bool&) {
        F->Bnedit->SetText("offre");
        F->OKBtn->Click();
    };
    EXPECT_EQ(F->Execute(D, Commands), mrOk);
    EXPECT_EQ(D.Composition, ckOneText);
    EXPECT_EQ(D.tlv[0].Caption, "Soldes\rPromo");
    EXPECT_EQ(D.FileName, "offre");
    EXPECT_FALSE(D.Modified);
}

// ------------------------------------------------ the shipped examples

namespace {

// The build generates the examples and their templates beside the program.
const std::string ShippedExamples = QM_PROGRAM_DIR "Examples/";

std::function<void(TBannerDocument&)> ShippedTemplateLoader() {
    auto Model = std::make_shared<TTemplateModel>();
    Model->BackFolder = QM_PROGRAM_DIR "Back/";
    return MakeTemplateLoader(Model);
}

// Every example of the dialog's table: composition row, format row, example
// row.
template <class F> void ForEachExample(F Visit) {
    for (int ModelsRow = 0; ModelsRow < 2; ++ModelsRow)
        for (int FormatRow = 0; FormatRow < 4; ++FormatRow)
            for (int ExampleRow = 0; ExampleRow < ExampleCount(FormatRow); ++ExampleRow) {
                SCOPED_TRACE(ExampleDocumentPath("", FormatRow, ExampleComposition(ModelsRow),
                                                 ExampleRow + 1));
                Visit(ModelsRow, FormatRow, ExampleRow);
            }
}

std::string FileBytes(const std::string& FileName) {
    std::ifstream In(FileName, std::ios::binary);
    std::ostringstream Out;
    Out << In.rdbuf();
    return Out.str();
}

// Where value Line of Element lands on the banner when drawn at rest.
TRect TextPlace(const TBannerDocument& D, const TTextElement& Element, int Line, bool First) {
    TBitmap32 B;
    B.SetDimensions(1, 1);
    const TTextLook Look = TextLookOf(Element, Line);
    ApplyTextFont(B, Look, Look.Size);
    const TSize Ext = MeasureLookText(B, Look.Text);
    const TPoint At =
        First ? FirstTextAnchor(D, Ext.cx) : MainTextAnchor(D, Line + 1, Ext.cx, Ext.cy, true);
    return {At.X, At.Y, At.X + Ext.cx, At.Y + Ext.cy};
}

} // namespace

// The running program's command, from the start page's link, on every
// example the build ships.
TEST(ShippedExamples, EachStartsABannerWhoseTextsFitThroughTheProgramsCommand) {
    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope(&Dialogs);
    std::set<std::string> Texts;
    TProgramOptions Options;
    Options.OnRunning = [&](TMainform& Main) {
        Examplesform->SetExamplesFolder(ShippedExamples);
        Texform->Model->BackFolder = QM_PROGRAM_DIR "Back/";
        ForEachExample([&](int ModelsRow, int FormatRow, int ExampleRow) {
            bool Previewed = false;
            Application->OnIdle = [&](TObject*, bool&) {
                TExamplesform* F = Examplesform;
                F->Models->UserSelect(ModelsRow);
                F->formatcombo->UserSelect(FormatRow);
                F->Exlist->UserSelect(ExampleRow);
                Previewed = F->PreviewGIF() != nullptr;
                F->OKBtn->Click();
            };
            Main.lnkexample->Click();
            Application->OnIdle = nullptr;
            EXPECT_TRUE(Previewed);

            const TBannerDocument& D = Main.Doc;
            const TSize Size = ExampleFormatSize(FormatRow);
            EXPECT_EQ(D.Composition, ExampleComposition(ModelsRow));
            EXPECT_EQ(D.BannerFormat, FormatRow);
            if (D.BackgroundKind == bgTemplate) {
                EXPECT_FALSE(D.Tex.Empty());
            }
            EXPECT_TRUE(Texts.insert(D.MainText()->Caption).second) << "two examples say the same";
            EXPECT_TRUE(Main.DesignPageVisible());
            EXPECT_EQ(Main.img32->Bitmap()->Width(), Size.cx);
            EXPECT_EQ(Main.img32->Bitmap()->Height(), Size.cy);

            // Every value, and the first text above them, lies whole inside
            // the banner, in a font that is installed.
            const TRect Banner{0, 0, Size.cx, Size.cy};
            for (const TTextElement& Text : D.tlv)
                for (const std::string& Font : TBannerDocument::SplitValueLines(Text.FontName))
                    EXPECT_GE(Screen->Fonts()->IndexOf(Font), 0) << Font;
            for (int Line = 0; Line < D.ActiveValueCount(); ++Line) {
                const TRect Place = TextPlace(D, *D.MainText(), Line, false);
                EXPECT_TRUE(Place.Left >= 0 && Place.Top >= 0 && Place.Right <= Banner.Right &&
                            Place.Bottom <= Banner.Bottom)
                    << TBannerDocument::GetValueLine(D.MainText()->Caption, Line);
            }
            if (const TTextElement* First = D.FirstText()) {
                const TRect Place = TextPlace(D, *First, 0, true);
                EXPECT_TRUE(Place.Left >= 0 && Place.Right <= Banner.Right &&
                            Place.Bottom <= TextPlace(D, *D.MainText(), 0, false).Top)
                    << First->Caption;
            }
        });
    };
    EXPECT_EQ(ProgramMain(Options), 0);
    EXPECT_EQ(Texts.size(), 32u);
    EXPECT_TRUE(Dialogs.Calls.empty());
}

// The dialog previews each example as the banner its OK starts: what the
// user picks is what he gets.
TEST_F(Examples, EveryShippedPreviewIsTheExportOfTheBannerItStarts) {
    std::set<int> Effects, Backgrounds, ThreeValues;
    bool Border = false, Shadow = false;
    ForEachExample([&](int ModelsRow, int FormatRow, int ExampleRow) {
        const int Composition = ExampleComposition(ModelsRow);
        const std::string Preview =
            ExamplePreviewPath(ShippedExamples, FormatRow, Composition, ExampleRow + 1);
        TGIFImage Shipped;
        ASSERT_NO_THROW(Shipped.LoadFromFile(Preview));
        EXPECT_GT(Shipped.Images().ItemCount(), 1);
        const TSize Size = ExampleFormatSize(FormatRow);
        EXPECT_EQ(Shipped.Width(), Size.cx);
        EXPECT_EQ(Shipped.Height(), Size.cy);

        // What "Exportation GIF" writes for the banner the dialog starts.
        TBannerDocument D;
        D.TemplateLoader = ShippedTemplateLoader();
        TExampleChoice Choice;
        Choice.ModelsRow = ModelsRow;
        Choice.FormatRow = FormatRow;
        Choice.ExampleRow = ExampleRow;
        Choice.Width = Size.cx;
        Choice.Height = Size.cy;
        Choice.Folder = ShippedExamples;
        ASSERT_TRUE(NewBannerFromExample(D, Choice));
        TAnimationPreview Animation;
        Animation.BuildAnimation(D);
        Animation.OptimizeAnimation();
        ASSERT_EQ(Animation.Gif().Images().ItemCount(), Shipped.Images().ItemCount());
        TMemoryStream Exported;
        Animation.Gif().SaveToStream(Exported);
        EXPECT_TRUE(FileBytes(Preview) == std::string(static_cast<const char*>(Exported.Memory()),
                                                      std::size_t(Exported.Size())));

        for (int V = 0; V < D.ActiveValueCount(); ++V)
            Effects.insert(D.ValueEffects[std::size_t(V)]);
        Backgrounds.insert(D.BackgroundKind);
        ThreeValues.insert(D.three);
        Border = Border || D.BrLeft || D.BrTop;
        Shadow = Shadow || D.MainText()->Shadow.find('1') != std::string::npos;
        // A template example shows it in colours of its own.
        if (D.BackgroundKind == bgTemplate) {
            EXPECT_NE(TBannerDocument::ColorToColor32(D.cp1),
                      TemplateArtKeyColor(D.TemplateNumber + 1));
        }
    });
    // Together they show what the editor can do.
    EXPECT_EQ(Effects.size(), std::size_t(TextEffectCount));
    EXPECT_EQ(Backgrounds, (std::set<int>{bgColor, bgTemplate, bgGradient, bgComposed}));
    EXPECT_EQ(ThreeValues.size(), 2u);
    EXPECT_TRUE(Border && Shadow);
}
