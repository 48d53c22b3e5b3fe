#include "platform/forms/Application.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/graphics/Bitmap.h"

#include <gtest/gtest.h>

namespace {

class ExtControls : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        Form = new TForm(Application);
        Form->SetBounds(0, 0, 100, 100);
        Host = new TCustomControl(Form);
        Host->SetBounds(0, 0, 40, 40);
        Host->SetColor(clWhite);
        Host->SetParent(Form);
    }
    void TearDown() override { delete Form; }
    TForm* Form = nullptr;
    TCustomControl* Host = nullptr;
};

TEST_F(ExtControls, PanelBevelsBorderAndChildrenInsideThem) {
    auto* P = new TPanel(Form);
    P->SetParent(Form);
    P->SetBounds(0, 0, 10, 8);
    P->SetBevelInner(bvLowered);
    P->SetBorderWidth(1);
    P->Repaint();
    TCanvas* C = P->Canvas();
    const TColor Hi = ColorToRGB(clBtnHighlight), Sh = ColorToRGB(clBtnShadow),
                 Face = ColorToRGB(clBtnFace);
    EXPECT_EQ(C->Pixels(0, 0), Hi); // outer raised: top-left light
    EXPECT_EQ(C->Pixels(8, 0), Hi);
    EXPECT_EQ(C->Pixels(9, 0), Sh); // top-right corner is dark
    EXPECT_EQ(C->Pixels(0, 7), Sh); // so is bottom-left
    EXPECT_EQ(C->Pixels(9, 7), Sh);
    EXPECT_EQ(C->Pixels(1, 1), Face); // border in the panel's colour
    EXPECT_EQ(C->Pixels(2, 2), Sh);   // inner lowered: top-left dark
    EXPECT_EQ(C->Pixels(7, 5), Hi);
    EXPECT_EQ(C->Pixels(4, 4), Face);

    auto* Inner = new TPanel(Form);
    Inner->SetParent(P);
    Inner->SetAlign(alClient);
    EXPECT_EQ(Inner->BoundsRect(), Rect(3, 3, 7, 5));
    P->SetBevelOuter(bvNone);
    EXPECT_EQ(Inner->BoundsRect(), Rect(2, 2, 8, 6));
}

TEST_F(ExtControls, ShapeOutlinesAndFillsInsideItsBounds) {
    auto* S = new TShape(Form);
    S->SetParent(Host);
    S->SetBounds(10, 10, 6, 4);
    S->Pen()->SetColor(clBlack);
    S->Brush()->SetColor(clRed);
    Host->Repaint();
    TCanvas* C = Host->Canvas();
    EXPECT_EQ(C->Pixels(10, 10), clBlack);
    EXPECT_EQ(C->Pixels(15, 13), clBlack);
    EXPECT_EQ(C->Pixels(11, 11), clRed);
    EXPECT_EQ(C->Pixels(16, 10), clWhite);
    EXPECT_EQ(C->Pixels(9, 10), clWhite);

    S->SetShape(stSquare); // centred square of the smaller side
    S->Pen()->SetColor(clBlue);
    Host->Update();
    EXPECT_EQ(C->Pixels(11, 10), clBlue);
    EXPECT_EQ(C->Pixels(10, 11), clWhite);
    EXPECT_EQ(C->Pixels(14, 13), clBlue);
}

TEST_F(ExtControls, PaintBoxDrawsThroughItsEvent) {
    auto* B = new TPaintBox(Form);
    B->SetParent(Host);
    B->SetBounds(5, 6, 3, 3);
    B->OnPaint = [B](TObject*) { B->Canvas()->SetPixels(0, 0, clLime); };
    Host->Repaint();
    EXPECT_EQ(Host->Canvas()->Pixels(5, 6), clLime);
    EXPECT_EQ(Host->Canvas()->Pixels(6, 6), clWhite);
}

TEST_F(ExtControls, BevelBoxAndFrameColours) {
    auto* B = new TBevel(Form);
    B->SetParent(Host);
    B->SetBounds(0, 0, 5, 4);
    Host->Repaint();
    const TColor Hi = ColorToRGB(clBtnHighlight), Sh = ColorToRGB(clBtnShadow);
    TCanvas* C = Host->Canvas();
    EXPECT_EQ(C->Pixels(0, 0), Sh); // lowered box: dark top-left
    EXPECT_EQ(C->Pixels(0, 2), Sh);
    EXPECT_EQ(C->Pixels(4, 0), Hi);
    EXPECT_EQ(C->Pixels(1, 3), Hi);
    EXPECT_EQ(C->Pixels(2, 1), clWhite);
    B->SetShape(bsFrame);
    Host->Update();
    EXPECT_EQ(C->Pixels(0, 0), Sh); // outer rectangle all dark
    EXPECT_EQ(C->Pixels(3, 2), Sh);
    EXPECT_EQ(C->Pixels(1, 1), Hi); // inner one all light
    EXPECT_EQ(C->Pixels(4, 3), Hi);
}

TEST_F(ExtControls, ImagePlacesItsPicture) {
    auto* I = new TImage(Form);
    I->SetParent(Host);
    I->SetBounds(0, 0, 20, 10);
    auto Bmp = std::make_unique<TBitmap>();
    Bmp->SetSize(4, 2);
    Bmp->Canvas()->Brush()->SetColor(clRed);
    Bmp->Canvas()->FillRect(Rect(0, 0, 4, 2));
    I->Picture()->SetGraphic(std::move(Bmp));
    EXPECT_EQ(I->DestRect(), Rect(0, 0, 4, 2));
    I->SetCenter(true);
    EXPECT_EQ(I->DestRect(), Rect(8, 4, 12, 6));
    I->SetStretch(true);
    I->SetProportional(true);
    EXPECT_EQ(I->DestRect(), Rect(0, 0, 20, 10));
    I->SetBounds(0, 0, 30, 6);
    EXPECT_EQ(I->DestRect(), Rect(9, 0, 21, 6));
    Host->Repaint();
    EXPECT_EQ(Host->Canvas()->Pixels(9, 0), clRed);
    EXPECT_EQ(Host->Canvas()->Pixels(20, 5), clRed);
    EXPECT_EQ(Host->Canvas()->Pixels(21, 5), clWhite);
    I->SetAutoSize(true);
    EXPECT_EQ(I->BoundsRect(), Rect(0, 0, 4, 2));
}

} // namespace
