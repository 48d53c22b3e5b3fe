#include "editor/ULoadImage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "imageio/PictureReaders.h"
#include "platform/base/Exception.h"
#include "platform/classes/Stream.h"
#include "platform/forms/Application.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/StdCtrls.h"
#include "platform/graphics/Clipboard.h"
#include "platform/graphics/Graphic.h"
#include "raster/RasterCore.h"
#include "raster/RasterImage.h"
#include "support/FormsTest.h"

namespace {

void Fill(TBitmap32& B, int W, int H, TColor32 C) {
    B.SetDimensions(W, H);
    B.ClearToColor(C);
}

std::string TempFile(const std::string& Name) {
    return ::testing::TempDir() + "/" + Name;
}

std::string WriteBmp(const std::string& Name, int W, int H, TColor32 C) {
    TBitmap32 B;
    Fill(B, W, H, C);
    const std::string Path = TempFile(Name);
    TFileStream S(Path, fmCreate);
    B.SaveToBmpStream(S);
    return Path;
}

class LoadImage : public TFormsTest {
protected:
    void SetUp() override {
        TFormsTest::SetUp();
        InitPictureReaders();
        Application->CreateForm(Form);
    }
    void AnswerFile(const std::string& Path) { Dialogs.FileAnswers.push_back({true, {Path}, 1}); }
    // Runs Action once the modal loop idles, then presses Button.
    void PressWhenShown(TButton* Button, std::function<void()> Action = nullptr) {
        Application->OnIdle = [=](TObject*, bool&) {
            // Clearing OnIdle destroys this closure: copy what it holds first.
            const std::function<void()> Run = Action;
            TButton* B = Button;
            Application->OnIdle = nullptr;
            if (Run) Run();
            B->Click();
        };
    }

    TScriptedDialogService Dialogs;
    TDialogServiceScope Scope{&Dialogs};
    TLoadform* Form = nullptr;
};

TEST_F(LoadImage, WindowHasItsButtonsAndThePictureFilter) {
    EXPECT_EQ(Form->Caption(), "Charger image");
    EXPECT_EQ(Form->Button1->Caption(), "&Charger");
    EXPECT_EQ(Form->Button2->Caption(), "&Effacer");
    EXPECT_EQ(Form->Button3->Caption(), "Co&ller");
    EXPECT_EQ(Form->Button4->Caption(), "C&opier");
    EXPECT_EQ(Form->okbtn->ModalResult(), mrOk);
    EXPECT_EQ(Form->cancelbtn->ModalResult(), mrCancel);
    EXPECT_EQ(Form->opd->Filter, GraphicFilter());
    EXPECT_NE(Form->opd->Filter.find("*.png"), std::string::npos);
}

TEST_F(LoadImage, LoadClearAndRefusedFile) {
    AnswerFile(WriteBmp("loadimage_ok.bmp", 5, 3, 0xFF102030));
    Form->Button1Click(nullptr);
    ASSERT_EQ(Form->Im->Bitmap()->Width(), 5);
    ASSERT_EQ(Form->Im->Bitmap()->Height(), 3);
    EXPECT_EQ(Form->Im->Bitmap()->ReadPixel(4, 2) & 0xFFFFFFu, 0x102030u);
    ASSERT_EQ(Dialogs.Calls.size(), 1u);
    EXPECT_NE(Dialogs.Calls[0].File.Filter.find("*.bmp"), std::string::npos);

    // A file the reader refuses: its message reaches the user, Im keeps its
    // picture.
    const std::string Bad = TempFile("loadimage_bad.png");
    std::ofstream(Bad, std::ios::binary) << "not a picture at all";
    std::string Expected;
    try {
        TPicture P;
        P.LoadFromFile(Bad);
    } catch (const Exception& E) {
        Expected = E.Message();
    }
    ASSERT_FALSE(Expected.empty());
    AnswerFile(Bad);
    Form->Button1Click(nullptr);
    ASSERT_EQ(Dialogs.Calls.size(), 3u);
    EXPECT_EQ(Dialogs.Calls[2].Kind, "MessageBox");
    EXPECT_NE(Dialogs.Calls[2].Text.find(Expected), std::string::npos);
    EXPECT_EQ(Form->Im->Bitmap()->Width(), 5);

    // An empty file and a file of another kind under a JPEG name: the user
    // is told why in French, and Im keeps its picture.
    const std::pair<const char*, const char*> Jpegs[] = {
        {"", "Image JPEG incorrecte: le fichier s'arrête avant la fin de l'image."},
        {"qmkf, not a picture", "Image JPEG incorrecte: ce n'est pas un fichier JPEG."}};
    for (const auto& [Bytes, Told] : Jpegs) {
        const std::string Jpeg = TempFile("loadimage_bad.jpg");
        std::ofstream(Jpeg, std::ios::binary) << Bytes;
        AnswerFile(Jpeg);
        Form->Button1Click(nullptr);
        EXPECT_EQ(UserMessageText(Dialogs.Calls.back().Text), Told);
        EXPECT_EQ(Form->Im->Bitmap()->Width(), 5);
    }

    Form->Button2Click(nullptr);
    EXPECT_TRUE(Form->Im->Bitmap()->Empty());
}

TEST_F(LoadImage, APictureWithAClearBackdropIsLaidOnWhite) {
    // The banner makes image pixels opaque and hides its transparent colour
    // (white): the clear corner of this PNG must not come out near black.
    AnswerFile(std::string(QM_TEST_DATA_DIR) + "/png/rgba8.png");
    Form->Button1Click(nullptr);
    const TBitmap32& B = *Form->Im->Bitmap();
    ASSERT_EQ(B.Width(), 13);
    EXPECT_EQ(B.ReadPixel(0, 0), 0xFFFFFFFFu); // alpha 0 in the file
    const TColor32 Half = B.ReadPixel(12, 6);  // (246, 190, 59) at alpha 150
    EXPECT_EQ(Half >> 24, 0xFFu);
    EXPECT_NEAR(int(Half >> 8 & 0xFF), (190 * 150 + 255 * 105) / 255, 2);

    // A palette picture whose clear entry (red here) is its backdrop.
    AnswerFile(std::string(QM_TEST_DATA_DIR) + "/png/pal2_trns.png");
    Form->Button1Click(nullptr);
    ASSERT_EQ(B.Width(), 13);
    EXPECT_EQ(B.ReadPixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(B.ReadPixel(1, 0), 0xFF00FF00u);

    // Grey with alpha keeps its alpha: the clear first pixel (grey 0) is
    // white, not black; (7, 0) is grey 49 at alpha 49.
    AnswerFile(std::string(QM_TEST_DATA_DIR) + "/png/grey8_alpha.png");
    Form->Button1Click(nullptr);
    ASSERT_EQ(B.Width(), 13);
    EXPECT_EQ(B.ReadPixel(0, 0), 0xFFFFFFFFu);
    EXPECT_NEAR(int(B.ReadPixel(7, 0) & 0xFF), (49 * 49 + 255 * 206) / 255, 2);
}

TEST_F(LoadImage, OkReturnsTheNewPictureCancelKeepsTheSlot) {
    TBitmap32 Slots[3];
    for (int i = 0; i < 3; ++i)
        Fill(Slots[i], 2 + i, 2, 0xFF000000u + TColor32(i));
    Form->OnSlotPicture = [&](int Slot) { return &Slots[Slot]; };

    // The dialog starts from the current picture.
    PressWhenShown(Form->okbtn);
    const TBitmap32* R = Form->PickImage(&Slots[1], 1);
    ASSERT_TRUE(R->Equals(&Slots[1]));

    const std::string Path = WriteBmp("loadimage_pick.bmp", 7, 7, 0xFFAABBCC);
    AnswerFile(Path);
    PressWhenShown(Form->okbtn, [&] { Form->Button1->Click(); });
    R = Form->PickImage(&Slots[2], 2);
    EXPECT_EQ(R->Width(), 7);
    Slots[2].Assign(R);
    EXPECT_EQ(Slots[2].ReadPixel(3, 3) & 0xFFFFFFu, 0xAABBCCu);

    // Loading a file and then cancelling leaves the element as it was.
    AnswerFile(Path);
    PressWhenShown(Form->cancelbtn, [&] { Form->Button1->Click(); });
    EXPECT_EQ(Form->PickImage(&Slots[0], 0), &Slots[0]);
    EXPECT_EQ(Slots[0].Width(), 2);
}

TEST_F(LoadImage, ClipboardCopyAndPaste) {
    Fill(*Form->Im->Bitmap(), 4, 6, 0xFF336699);
    Form->Button4Click(nullptr);
    EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
    Form->Button2Click(nullptr);
    Form->Button3Click(nullptr);
    ASSERT_EQ(Form->Im->Bitmap()->Width(), 4);
    ASSERT_EQ(Form->Im->Bitmap()->Height(), 6);
    EXPECT_EQ(Form->Im->Bitmap()->ReadPixel(1, 5) & 0xFFFFFFu, 0x336699u);

    // Text on the clipboard: pasting changes nothing.
    Clipboard()->SetAsText("bonjour");
    Fill(*Form->Im->Bitmap(), 3, 3, 0xFF010203);
    Form->Button3Click(nullptr);
    EXPECT_EQ(Form->Im->Bitmap()->Width(), 3);
    EXPECT_EQ(Form->Im->Bitmap()->ReadPixel(0, 0), 0xFF010203u);
    EXPECT_TRUE(Dialogs.Calls.empty());
}

} // namespace
