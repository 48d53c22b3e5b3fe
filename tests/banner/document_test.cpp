#include "banner/BannerDocument.h"

#include <gtest/gtest.h>

#include "platform/base/Exception.h"

using D = TBannerDocument;

TEST(ValueLines, SplitAcceptsEverySeparatorAndIgnoresAFinalOne) {
    EXPECT_EQ(D::SplitValueLines("a\rb\r\nc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(D::SplitValueLines("a\r"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(D::SplitValueLines("\r\rx"), (std::vector<std::string>{"", "", "x"}));
    EXPECT_TRUE(D::SplitValueLines("").empty());
    EXPECT_EQ(D::ValueCount("Texte 2-1\rTexte 2-2\rTexte 2-3"), 3);
}

TEST(ValueLines, GetAndSetLine) {
    const std::string T = "one\rtwo\rthree";
    EXPECT_EQ(D::GetValueLine(T, 1), "two");
    EXPECT_EQ(D::GetValueLine(T, 3), "");
    EXPECT_EQ(D::GetValueLine(T, -1), "");
    EXPECT_EQ(D::SetValueLine(T, 2, "3"), "one\rtwo\r3");
    EXPECT_EQ(D::SetValueLine("a", 2, "c"), "a\r\rc");
    EXPECT_EQ(D::SetValueLine("a\r\nb", 0, "z"), "z\rb"); // rewritten with CR alone
    EXPECT_EQ(D::SetValueLine(T, -1, "x"), T);
}

TEST(TextElement, ValuesReadAndWriteEveryProperty) {
    TTextElement E;
    E.Caption = "v1\rv2";
    E.Color = "clRed\rclBlue";
    E.FontName = "DejaVu Sans\rDejaVu Sans";
    E.StyleIndex = "0\r3";
    E.Size = "12\r14";
    E.Shadow = "0\r1";
    TTextValue V = E.Value(1);
    EXPECT_EQ(V.Text, "v2");
    EXPECT_EQ(V.Color, "clBlue");
    EXPECT_EQ(V.StyleIndex, "3");
    EXPECT_EQ(V.Shadow, "1");
    EXPECT_EQ(E.Value(5).Text, "");

    V.Text = "v3";
    E.SetValue(2, V);
    EXPECT_EQ(E.Caption, "v1\rv2\rv3");
    EXPECT_EQ(E.Size, "12\r14\r14");
    EXPECT_EQ(E.ValueCount(), 3);
    EXPECT_EQ(E.SubItem(0), &E.Color);
    EXPECT_EQ(E.SubItem(4), &E.Shadow);
    EXPECT_EQ(E.SubItem(5), nullptr);
}

TEST(ImageElement, SubItemsAndNumbers) {
    TImageElement I;
    I.X = "55";
    I.Y = "-7";
    EXPECT_EQ(I.PosX(), 55);
    EXPECT_EQ(I.PosY(), -7);
    EXPECT_TRUE(I.IsTransparent());
    EXPECT_EQ(*I.SubItem(1), "clWhite");
    EXPECT_EQ(I.SubItem(-1), nullptr);
    I.X = "abc";
    EXPECT_THROW(I.PosX(), EConvertError);
}

TEST(Colours, TextRoundTripThroughThePlatform) {
    EXPECT_EQ(D::ColorText(clWhite), "clWhite");
    EXPECT_EQ(D::ColorText(TColor(0x333333)), "$00333333");
    EXPECT_EQ(D::ColorFromText("clgray"), clGray);
    EXPECT_EQ(D::ColorFromText("ClBlack"), clBlack);
    EXPECT_EQ(D::ColorFromText("$00FF8080"), TColor(0xFF8080));
    EXPECT_THROW(D::ColorFromText("bleu"), EConvertError);
    EXPECT_EQ(D::ColorToColor32(TColor(0x00FF8080)), 0xFF8080FFu); // BGR -> ARGB
}

TEST(Document, StartValuesOfAFreshWindow) {
    D Doc;
    EXPECT_EQ(Doc.Composition, ckNone);
    EXPECT_EQ(Doc.BannerWidth, 468);
    EXPECT_EQ(Doc.BannerHeight, 60);
    EXPECT_EQ(Doc.BackgroundKind, bgColor);
    EXPECT_EQ(Doc.Cl, TColor(0x00C4FFC4));
    EXPECT_EQ(Doc.cg2, TColor(0x006FFFFF));
    EXPECT_EQ(Doc.cc2, TColor(0x00FFDDBB));
    EXPECT_TRUE(Doc.dxH);
    EXPECT_EQ(Doc.Slider, 8);
    EXPECT_EQ(Doc.Image2.Width(), 60);
    EXPECT_EQ(Doc.Image2.Height(), 40);
    EXPECT_EQ(Doc.Image2.ReadPixel(30, 20) >> 24, 255u);
    EXPECT_TRUE(Doc.Image1.Empty());
}

TEST(Document, StatusCaptionAndChangeEvent) {
    D Doc;
    int Fired = 0;
    Doc.OnChange = [&](TObject* Sender) {
        EXPECT_EQ(Sender, &Doc);
        ++Fired;
    };
    EXPECT_EQ(Doc.Caption(), "Quillomark Free 5.0");
    Doc.RedrawDone(false); // no banner: the modified flag stays as it was
    EXPECT_FALSE(Doc.Modified);

    Doc.NewBanner({});
    EXPECT_EQ(Fired, 1);
    EXPECT_EQ(Doc.Caption(), "Quillomark Free 5.0 - sans_nom");
    EXPECT_FALSE(Doc.Modified);
    Doc.RedrawDone(false);
    EXPECT_TRUE(Doc.Modified);
    Doc.RedrawDone(true);
    EXPECT_FALSE(Doc.Modified);
    Doc.FileName = "C:\\Docs\\pub.qmkf";
    EXPECT_EQ(Doc.Caption(), "Quillomark Free 5.0 - pub.qmkf");

    Doc.CloseBanner();
    EXPECT_EQ(Fired, 2);
    EXPECT_EQ(Doc.Composition, ckNone);
    EXPECT_TRUE(Doc.tlv.empty());
    EXPECT_EQ(Doc.MainText(), nullptr);
}
