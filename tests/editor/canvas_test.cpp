// The canvas under the mouse, the preview, the export and the guidance
// balloons, on the running program.
#include "ProgramOnFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include "banner/DocumentFile.h"
#include "banner/DocumentCommands.h"
#include "controls/FormStorage.h"
#include "editor/UExamples.h"
#include "editor/UMain.h"
#include "editor/UNewBanner.h"
#include "editor/UPreview.h"
#include "gif/GifImage.h"
#include "gif/GifPainter.h"
#include "platform/forms/Application.h"
#include "platform/forms/Dialogs.h"
#include "platform/system/Clock.h"
#include "platform/system/Registry.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* ExportHint =
    "Pour pouvoir utiliser votre bannière sur une page web, utilisez l'exportation Gif.";

LPARAM At(int X, int Y) {
    return PointToLParam(TPoint{X, Y});
}

// Runs the message loop until Done holds or Ms pass.
bool WaitFor(const std::function<bool()>& Done, int Ms) {
    for (int I = 0; I < Ms / 10 && !Done(); ++I) {
        Application->ProcessMessages();
        Sleep(10);
    }
    return Done();
}

int FirstPainterFrame(TGIFImage& Gif) {
    TList* List = Gif.PainterList().LockList();
    const int Frame =
        List->Count() > 0 ? static_cast<TGIFPainter*>(List->Items(0))->ShownFrame() : -1;
    Gif.PainterList().UnlockList();
    return Frame;
}

class Canvas : public ProgramOnFile {
protected:
    Canvas() : ProgramOnFile("canvas") {}
    // The balloons count their showings in stored settings: each test
    // starts as a first run would.
    void SetUp() override { TRegistry().DeleteKey(DefaultRegistryKey()); }
    void Run(TBannerDocument& Doc, const std::function<void(TMainform&)>& Steps) {
        RunOn(Doc, [&](TMainform& Main) {
            Steps(Main);
            Dialogs.Answers.push_back(mrNo); // closing: no save
        });
    }
};

TEST_F(Canvas, FramesHandlesAndColourPicks) {
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{"c", 1, 468, 60, 0}); // composition 3
    Run(Doc, [](TMainform& M) {
        TImage32* C = M.img32;
        const THitRect R = M.Doc.HitRectText1; // the first text
        ASSERT_GT(R.Width, 2);
        C->Perform(WM_MOUSEMOVE, 0, At(R.Left, R.Top + 1)); // on the edge
        EXPECT_FALSE(M.cadre->Visible());
        C->Perform(WM_MOUSEMOVE, 0, At(R.Left + 1, R.Top + 1));
        EXPECT_TRUE(M.cadre->Visible());
        EXPECT_EQ(M.cadre->Left(), R.Left);
        EXPECT_EQ(C->Cursor(), crHandPoint);
        EXPECT_FALSE(M.Shape2->Visible());
        // Leaving the canvas in one step (no move over box) takes it away.
        C->Perform(CM_MOUSELEAVE, 0, 0);
        EXPECT_FALSE(M.cadre->Visible());

        // A click on the main text's frame edits it, caret at the end, also
        // with the items panel hidden.
        M.Image3->Click();
        ASSERT_FALSE(M.panelitems->Visible());
        const THitRect V = M.Doc.HitRectValue1;
        C->Perform(WM_MOUSEMOVE, 0, At(V.Left + 1, V.Top + 1));
        ASSERT_TRUE(M.cadre2->Visible());
        M.Pages->SetActivePage(M.tsAnim);
        M.cadre2->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(1, 1));
        M.cadre2->Perform(WM_LBUTTONUP, 0, At(1, 1));
        EXPECT_TRUE(M.panelitems->Visible() && M.Image3->Visible() && !M.Image5->Visible());
        EXPECT_TRUE(M.Txt->Focused());
        EXPECT_EQ(M.Pages->ActivePage(), M.tsTexts);
        EXPECT_EQ(M.Texts->ItemIndex(), 1);
        EXPECT_EQ(M.Txt->SelStart(), M.Txt->TextLength());
        EXPECT_FALSE(M.Tbsave->Enabled());
        // Typed longer, the text keeps its frame round it.
        M.Txt->SetText(M.Txt->Text() + " et encore");
        ASSERT_GT(M.Doc.HitRectValue1.Width, V.Width);
        EXPECT_TRUE(M.cadre2->Visible());
        EXPECT_EQ(M.cadre2->Left(), M.Doc.HitRectValue1.Left);
        EXPECT_EQ(M.cadre2->Width(), M.Doc.HitRectValue1.Width);

        // The right handle, 30 pixels to the right.
        C->Perform(WM_MOUSEMOVE, 0, At(C->Width() - 2, 30));
        ASSERT_TRUE(M.Shape2->Visible());
        EXPECT_EQ(M.Shape2->Left(), C->Left() + C->Width() + 2 - 4);
        M.Shape2->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(4, 4));
        M.Shape2->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(34, 4));
        M.Shape2->Perform(WM_LBUTTONUP, 0, At(34, 4));
        EXPECT_EQ(M.Doc.BannerWidth, 498);
        EXPECT_EQ(C->Width(), 498);
        EXPECT_TRUE(M.Tbsave->Enabled());
        // The left handle dragged far right keeps one pixel.
        M.Shape1->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(4, 4));
        M.Shape1->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(900, 4));
        M.Shape1->Perform(WM_LBUTTONUP, 0, At(900, 4));
        EXPECT_EQ(M.Doc.BannerWidth, 1);
        M.Shape1->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(4, 4));
        M.Shape1->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(-465, 4));
        M.Shape1->Perform(WM_LBUTTONUP, 0, At(-465, 4));
        EXPECT_EQ(M.Doc.BannerWidth, 470);
        EXPECT_EQ(C->Left(), std::max(0, (M.box->ClientWidth() - 470) / 2));

        // The border pick: a click off the banner keeps it armed.
        M.rbColor->SetChecked(true);
        M.Cl->SetSelectionColor(clLime);
        M.Button2->Click();
        EXPECT_EQ(C->Cursor(), crCross);
        C->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
        C->Perform(WM_LBUTTONUP, 0, At(-3, 10));
        EXPECT_EQ(M.PickMode(), TMainform::PickBorder);
        C->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
        C->Perform(WM_LBUTTONUP, 0, At(10, 10));
        EXPECT_EQ(M.PickMode(), TMainform::PickNone);
        EXPECT_EQ(M.clbord->SelectionColor(), clLime);
        EXPECT_EQ(M.Doc.clbord, clLime);
    });
}

TEST_F(Canvas, AScrolledCanvasStaysWhereItWasScrolledAcrossRedraws) {
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{"s", 1, 3000, 60, 4}); // wider than the window
    Run(Doc, [](TMainform& M) {
        ASSERT_GT(M.img32->Width(), M.box->ClientWidth());
        M.box->HorzScrollBar()->SetPosition(100);
        ASSERT_EQ(M.img32->Left(), 8 - 100);
        M.Txt->SetText("Texte plus long"); // redraws
        EXPECT_EQ(M.img32->Left(), 8 - 100);
        EXPECT_EQ(M.box->HorzScrollBar()->Position(), 100);
        // Scrolled to either end, the size handle of that side can be taken.
        M.box->HorzScrollBar()->SetPosition(0);
        M.img32->Perform(WM_MOUSEMOVE, 0, At(1, 30));
        ASSERT_TRUE(M.Shape1->Visible());
        EXPECT_GE(M.Shape1->Left(), 0);
        M.box->HorzScrollBar()->SetPosition(M.box->HorzScrollBar()->Range());
        M.img32->Perform(WM_MOUSEMOVE, 0, At(M.img32->Width() - 2, 30));
        ASSERT_TRUE(M.Shape2->Visible());
        EXPECT_LE(M.Shape2->Left() + M.Shape2->Width(), M.box->ClientWidth());
    });
}

TEST_F(Canvas, PreviewPlaysTheBuiltAnimation) {
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{"p", 1, 468, 60, 0});
    Doc.Slider = TBannerDocument::SliderMax; // no pause: frames follow quickly
    Run(Doc, [this](TMainform& M) {
        ASSERT_NE(M.Preview, nullptr);
        M.PreviewCmd(nullptr);
        ASSERT_TRUE(M.PreviewPageVisible());
        EXPECT_EQ(M.Statusbar->Panels()->Items(0)->Text(), sAnimationReady);
        EXPECT_EQ(M.Statusbar->Panels()->Items(1)->Text(), "( 468 x 60 )");
        TGIFImage& Gif = M.Preview->GifImage();
        EXPECT_EQ(Gif.Images().ItemCount(), 3); // three values, no effects
        EXPECT_EQ(M.prv->Bitmap()->Width(), 468);
        // The painter walks the frames on its own thread.
        const int First = FirstPainterFrame(Gif);
        EXPECT_TRUE(WaitFor([&] { return FirstPainterFrame(Gif) != First; }, 3000));
        EXPECT_TRUE(M.bh->Shown());
        EXPECT_EQ(M.bh->BalloonData().Text,
                  "Pour revenir à la conception, cliquez sur le bouton Fermer.");

        // The export from the preview page rebuilds the animation the page
        // plays: the page goes on playing, whether the file is written or
        // not.
        Dialogs.FileAnswers.push_back(TFileDialogAnswer{false, {}, 1});
        M.prvexportbtn->Click();
        TGIFImage& Rebuilt = M.Preview->GifImage();
        const int Shown = FirstPainterFrame(Rebuilt);
        EXPECT_TRUE(WaitFor([&] { return FirstPainterFrame(Rebuilt) != Shown; }, 3000));

        M.closeprvbtn->Click();
        EXPECT_TRUE(M.DesignPageVisible());
        EXPECT_FALSE(M.bh->Shown());
        EXPECT_EQ(FirstPainterFrame(Rebuilt), -1);
        EXPECT_TRUE(M.Timer1->Enabled() && M.Timer2->Enabled());

        // The preview tab plays it too; the preview window's player shows
        // the frame number as it goes.
        M.pc->SetActivePage(M.tsPreview);
        M.PcChange(M.pc);
        EXPECT_EQ(M.anim->Bitmap()->Width(), 468);
        M.Preview->Play();
        EXPECT_TRUE(WaitFor([&] { return M.Preview->FrameNo->Caption() == "3"; }, 3000));
        M.Preview->Stop();
        EXPECT_TRUE(M.Preview->Image->Visible() && M.Preview->playbtn->Enabled());
        EXPECT_EQ(M.Preview->FrameNo->Caption(), "1");
    });
}

// The preview's frame fills the page as the window grows, and a banner
// larger than the frame scrolls: every part of the animation can be seen.
// The page's player ends with the page, whichever command leaves it.
TEST_F(Canvas, PreviewPageShowsEveryPartAndStopsWithThePage) {
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{"p", 0, 2000, 1200, bfCustom});
    Run(Doc, [](TMainform& M) {
        M.PreviewCmd(nullptr);
        M.SetBounds(0, 0, 1200, 900);
        EXPECT_EQ(M.prvpan->Width(), M.Previewpanel->ClientWidth() - 20);
        EXPECT_EQ(M.prvpan->Height(), M.Previewpanel->ClientHeight() - 60);
        TControlScrollBar* Bar = M.prvpan->HorzScrollBar();
        ASSERT_TRUE(Bar->IsScrollBarVisible());
        Bar->SetPosition(Bar->MaxPosition());
        EXPECT_EQ(M.prv->Left() + M.prv->Width(), M.prvpan->ClientWidth());
        M.FormResize(&M); // the picture stays where it was scrolled
        EXPECT_EQ(M.prv->Left() + M.prv->Width(), M.prvpan->ClientWidth());
        M.closeprvbtn->Click();
        M.Doc.BannerWidth = 400; // a banner that fits is centred
        M.Doc.BannerHeight = 50;
        M.PreviewCmd(nullptr);
        EXPECT_NEAR(M.prv->Left(), (M.prvpan->ClientWidth() - 400) / 2, 1);
        EXPECT_NEAR(M.prv->Top(), (M.prvpan->ClientHeight() - 50) / 2, 1);
        // Closing the banner from the preview page ends its player.
        M.CloseCmd(nullptr);
        ASSERT_TRUE(M.StartPageVisible());
        EXPECT_EQ(FirstPainterFrame(M.Preview->GifImage()), -1);
    });
}

TEST_F(Canvas, GuidanceBalloonsShowOnTheirFirstOccasionsOnly) {
    // The start hint: about a second after a start without a document; its
    // counter then silences it.
    TProgramOptions Options;
    Options.QuitAfterMs = 1600;
    Options.OnRunning = [](TMainform& M) {
        EXPECT_TRUE(M.bh->Shown());
        EXPECT_EQ(M.bh->BalloonData().Text, "Pour un bon début, créez une bannière à partir "
                                            "d'un exemple\ren cliquant sur cette commande.");
        EXPECT_EQ(M.SampleTimer->Tag(), 1);
        M.HideBalloon();
        M.SampleTimerTimer(M.SampleTimer);
        EXPECT_FALSE(M.bh->Shown());
    };
    ASSERT_EQ(ProgramMain(Options), 0);

    // Four saves show the export hint three times.
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    int Hints = 0;
    Run(Doc, [&](TMainform& M) {
        EXPECT_TRUE(M.Timer1->Enabled() && M.Timer2->Enabled()); // armed by the open
        for (int I = 0; I < 4; ++I) {
            M.BrTop->SetChecked(!M.BrTop->Checked());
            M.SaveCmd(nullptr);
            if (M.bh->Shown() && M.bh->BalloonData().Text == ExportHint) ++Hints;
            M.HideBalloon();
        }
        EXPECT_EQ(M.Timer2->Tag(), 4);
        // A hint for the main window is not shown over an open dialog.
        bool UnderDialog = true;
        Application->OnIdle = [&](TObject*, bool&) {
            Application->OnIdle = nullptr;
            M.Timer1->OnTimer(M.Timer1);
            UnderDialog = M.bh->Shown();
            NewForm->Cancelbtn->Click();
        };
        M.NewCmd(nullptr);
        EXPECT_FALSE(UnderDialog);
        // Nor over a system dialog, such as the export's file dialog.
        Dialogs.WhileOpen = [&](const TScriptedDialogService::TCall&) {
            M.Timer1->OnTimer(M.Timer1);
            UnderDialog = M.bh->Shown();
        };
        Dialogs.FileAnswers.push_back({});
        M.ExportCmd(nullptr);
        Dialogs.WhileOpen = nullptr;
        EXPECT_FALSE(UnderDialog);
        M.Timer1->SetTag(0); // both occasions went under the dialogs
        // A balloon goes with the page it points into, instead of pointing
        // at nothing over the page that took its place.
        M.Timer1->OnTimer(M.Timer1);
        ASSERT_TRUE(M.bh->Shown());
        EXPECT_EQ(M.bh->BalloonData().Text, "Modifiez les textes de la bannière.");
        M.Pages->SetActivePage(M.tsAnim);
        EXPECT_FALSE(M.bh->Shown());
        // Hiding the element panel counts too.
        M.Image3->Click();
        EXPECT_EQ(M.bh->BalloonData().Text,
                  "Pour réafficher le panneau des éléments, cliquez sur cette flèche.");
        EXPECT_TRUE(M.bh->Shown());
        M.CloseCmd(nullptr);
        ASSERT_TRUE(M.StartPageVisible());
        EXPECT_FALSE(M.bh->Shown());
    });
    EXPECT_EQ(Hints, 3);
}

TEST_F(Canvas, ASaveAskedForByTheExamplesDialogCountsForTheExportHint) {
    const fs::path Folder = File.parent_path() / ("qm_examples" + std::to_string(getpid()));
    fs::create_directories(Folder);
    TBannerDocument Example;
    Example.NewBanner(TNewBannerOptions{});
    SaveBannerDocument(Example, (Folder / "E1-1.qmkf").string());
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    Run(Doc, [&](TMainform& M) {
        Examplesform->SetExamplesFolder(Folder.string() + "/");
        M.BrTop->SetChecked(!M.BrTop->Checked());
        Dialogs.Answers.push_back(mrYes); // save the banner before the example replaces it
        Application->OnIdle = [&](TObject*, bool&) {
            Application->OnIdle = nullptr;
            Examplesform->OKBtn->Click();
        };
        M.NewFromExample1->Click();
        EXPECT_FALSE(M.Doc.Modified);
        EXPECT_EQ(M.Timer2->Tag(), 1);
    });
    fs::remove_all(Folder);
}

TEST_F(Canvas, BalloonWaitsForTheProgramToComeBack) {
    // The user turned to another program before the text hint came up: it
    // would float over that program's window. It shows when he comes back.
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{});
    Run(Doc, [](TMainform& M) {
        Application->SetApplicationActive(false);
        M.Timer1->OnTimer(M.Timer1);
        ASSERT_TRUE(M.bh->Shown());
        EXPECT_FALSE(M.bh->BalloonWindow()->Visible());
        Application->SetApplicationActive(true);
        EXPECT_TRUE(M.bh->BalloonWindow()->Visible());
    });
}

std::string FileText(const fs::path& P) {
    std::ifstream In(P, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
}

TEST_F(Canvas, ExportAsksBeforeReplacingAndAFailedExportKeepsTheEarlierFile) {
    const fs::path Gif = fs::path(File).replace_extension(".gif");
    const std::string Earlier = "GIF89a an earlier export";
    std::ofstream(Gif, std::ios::binary) << Earlier;
    TBannerDocument Doc;
    Doc.NewBanner(TNewBannerOptions{"e", 1, 468, 60, 0});
    Run(Doc, [&](TMainform& M) {
        const std::string Replace = Gif.string() + " existe déjà.\nVoulez-vous le remplacer ?";
        // "No" goes back to the dialog with the chosen name; cancelling it
        // writes nothing.
        Dialogs.FileAnswers.push_back({true, {Gif.string()}, 1});
        Dialogs.Answers.push_back(mrNo);
        Dialogs.FileAnswers.push_back({});
        const std::size_t Before = Dialogs.Calls.size();
        M.ExportCmd(nullptr);
        ASSERT_EQ(Dialogs.Calls.size(), Before + 3);
        EXPECT_EQ(Dialogs.Calls[Before].File.FileName, fs::path(File).replace_extension().string());
        EXPECT_EQ(Dialogs.Calls[Before + 1].Text, Replace);
        EXPECT_EQ(Dialogs.Calls[Before + 2].File.FileName, Gif.string());
        EXPECT_EQ(FileText(Gif), Earlier);

        // "Yes" on a disk that takes no more bytes (a size limit, which holds
        // for every user, where a read-only folder would not stop root): the
        // French failure message, and the earlier file as it was.
        Dialogs.FileAnswers.push_back({true, {Gif.string()}, 1});
        Dialogs.Answers.push_back(mrYes);
        Dialogs.Answers.push_back(mrOk);
        rlimit Old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &Old), 0);
        const auto OldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit Full = Old;
        Full.rlim_cur = 16;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Full), 0);
        M.ExportCmd(nullptr);
        setrlimit(RLIMIT_FSIZE, &Old);
        std::signal(SIGXFSZ, OldSignal);
        ASSERT_EQ(Dialogs.Calls.back().Kind, "MessageDlg");
        EXPECT_EQ(Dialogs.Calls.back().DlgType, mtError);
        EXPECT_EQ(Dialogs.Calls.back().Text.rfind(
                      "L'animation n'a pas pu être exportée vers « " + Gif.string() + " ».\n", 0),
                  0u)
            << Dialogs.Calls.back().Text;
        EXPECT_EQ(FileText(Gif), Earlier);
        for (const fs::directory_entry& E : fs::directory_iterator(Gif.parent_path()))
            EXPECT_NE(E.path().string().rfind(Gif.string() + ".tmp", 0), 0u) << E.path();

        // With room, "Yes" replaces it with the banner's GIF.
        Dialogs.FileAnswers.push_back({true, {Gif.string()}, 1});
        Dialogs.Answers.push_back(mrYes);
        M.ExportCmd(nullptr);
        TGIFImage Back;
        Back.LoadFromFile(Gif.string());
        EXPECT_EQ(Back.Width(), 468);
    });
    fs::remove(Gif);
}

} // namespace
