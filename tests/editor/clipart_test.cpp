#include "editor/UClipArt.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/forms/Application.h"
#include "platform/forms/StdCtrls.h"
#include "raster/RasterCore.h"
#include "raster/RasterImage.h"
#include "support/FormsTest.h"

namespace {

class ClipArt : public TFormsTest {
protected:
    void SetUp() override {
        TFormsTest::SetUp();
        Application->CreateForm(Form);
    }
    TImage32* Picture(int Number) {
        return dynamic_cast<TImage32*>(Form->FindComponent("B" + std::to_string(Number)));
    }
    void PressWhenShown(TButton* Button, int Row = -1) {
        Application->OnIdle = [=, this](TObject*, bool&) {
            // Clearing OnIdle destroys this closure: copy what it holds first.
            Tbbform* F = Form;
            const int R = Row;
            TButton* B = Button;
            Application->OnIdle = nullptr;
            if (R >= 0) {
                F->list->SetItemIndex(R);
                F->listClick(F->list);
            }
            B->Click();
        };
    }

    Tbbform* Form = nullptr;
};

TEST_F(ClipArt, FourteenRowsAndDistinctHiddenPictures) {
    EXPECT_EQ(Form->Caption(), "Bibliothèque");
    ASSERT_EQ(Form->list->Count(), 14);
    EXPECT_EQ(Form->list->Items()->Strings(0), "Elément 01");
    EXPECT_EQ(Form->list->Items()->Strings(9), "Elément 10");
    EXPECT_EQ(Form->list->Items()->Strings(13), "Elément 14");
    for (int i = 1; i <= 14; ++i) {
        TImage32* B = Picture(i);
        ASSERT_NE(B, nullptr) << i;
        EXPECT_FALSE(B->Visible());
        const TBitmap32* Bmp = B->Bitmap();
        ASSERT_FALSE(Bmp->Empty()) << i;
        // Shapes stand on an opaque white ground, white being the
        // transparent colour a new image starts with.
        EXPECT_EQ(Bmp->ReadPixel(0, 0), 0xFFFFFFFFu) << i;
        int Shape = 0;
        for (int y = 0; y < Bmp->Height(); ++y)
            for (int x = 0; x < Bmp->Width(); ++x)
                Shape += Bmp->ReadPixel(x, y) != 0xFFFFFFFFu;
        EXPECT_GT(Shape, Bmp->Width() * Bmp->Height() / 8) << i;
        for (int j = 1; j < i; ++j)
            EXPECT_FALSE(Bmp->Equals(Picture(j)->Bitmap())) << i << " " << j;
    }
    EXPECT_TRUE(Form->img32->Bitmap()->Empty());
}

TEST_F(ClipArt, RowShowsTheMatchingPicture) {
    for (int Row : {0, 2, 13}) {
        Form->list->SetItemIndex(Row);
        Form->listClick(Form->list);
        EXPECT_TRUE(Form->img32->Bitmap()->Equals(Picture(Row + 1)->Bitmap())) << Row;
    }
    Form->list->SetItemIndex(-1);
    Form->listClick(Form->list);
    EXPECT_TRUE(Form->img32->Bitmap()->Equals(Picture(14)->Bitmap()));
}

TEST_F(ClipArt, OkCopiesTheShownPictureCancelNothing) {
    TBitmap32 Slot;
    Slot.SetDimensions(3, 3);
    Slot.ClearToColor(0xFF123456);

    PressWhenShown(Form->cancelbtn, 4);
    EXPECT_FALSE(Form->PickClipArt(Slot));
    EXPECT_EQ(Slot.Width(), 3);

    PressWhenShown(Form->okbtn, 5);
    EXPECT_TRUE(Form->PickClipArt(Slot));
    EXPECT_TRUE(Slot.Equals(Picture(6)->Bitmap()));
}

TEST_F(ClipArt, OkWithoutARowKeepsThePicture) {
    TBitmap32 Slot;
    Slot.SetDimensions(3, 3);
    PressWhenShown(Form->okbtn);
    EXPECT_FALSE(Form->PickClipArt(Slot));
    EXPECT_EQ(Slot.Width(), 3);
}

} // namespace
