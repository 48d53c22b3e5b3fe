#include "banner/BannerDocument.h"

#include <gtest/gtest.h>

namespace {

struct Fixture : ::testing::Test {
    TBannerDocument Doc;
    std::vector<int> LoadedTemplates;
    void SetUp() override {
        // Stands in for the template files: a picture whose size tells the
        // format and whose key colour tells the number.
        Doc.TemplateLoader = [this](TBannerDocument& D) {
            LoadedTemplates.push_back(D.TemplateNumber);
            D.Tex.SetDimensions(2, 2);
            D.cp1 = D.TemplateNumber;
        };
    }
    void Dirty() {
        Doc.ValueEffects = {3, 4, 5};
        Doc.FirstTextEffect = 6;
    }
};

} // namespace

TEST_F(Fixture, Composition1ByFormat) {
    const char* Sizes[4] = {"16", "14", "17", "17"};
    const TBackgroundKind Kinds[4] = {bgTemplate, bgGradient, bgGradient, bgGradient};
    const int Templates[4] = {39, 0, 0, 0};
    for (int F = 0; F < 4; ++F) {
        Doc.BannerFormat = std::uint8_t(F);
        Doc.BrTop = true;
        Doc.dxH = true;
        Dirty();
        Doc.SetUpComposition1();
        ASSERT_EQ(Doc.tlv.size(), 1u);
        const TTextElement& E = Doc.tlv[0];
        EXPECT_EQ(E.Caption, "Texte 1-1\rTexte 1-2\rTexte 1-3");
        EXPECT_EQ(E.Color, "clgray\rclgray\rclgray");
        EXPECT_EQ(E.FontName, "Segoe UI\rSegoe UI\rSegoe UI");
        EXPECT_EQ(E.StyleIndex, "0\r0\r0");
        EXPECT_EQ(E.Shadow, "0\r0\r0");
        EXPECT_EQ(E.Value(2).Size, Sizes[F]);
        EXPECT_EQ(E.ValueCount(), 3);
        EXPECT_EQ(Doc.BackgroundKind, Kinds[F]);
        EXPECT_EQ(Doc.TemplateNumber, Templates[F]);
        EXPECT_EQ(Doc.Cl, TColor(0x00FF8080));
        EXPECT_EQ(Doc.cg1, TColor(0x0099CCFF));
        EXPECT_EQ(Doc.cg2, clWhite);
        EXPECT_TRUE(Doc.dxV());
        EXPECT_FALSE(Doc.BrTop);
        EXPECT_EQ(Doc.ValueEffects, (std::array<std::int32_t, 3>{0, 0, 0}));
        EXPECT_EQ(Doc.FirstTextEffect, 0);
        EXPECT_EQ(Doc.cp1, Templates[F]); // the loader ran
    }
}

TEST_F(Fixture, Composition2ByFormat) {
    const char* FirstSizes[4] = {"13", "12", "17", "18"};
    const char* MainSizes[4] = {"11", "10", "14", "15"};
    const int Templates[4] = {7, 0, 0, 0};
    const char* Pos[4][2] = {{"55", "7"}, {"15", "7"}, {"15", "7"}, {"100", "11"}};
    for (int F = 0; F < 4; ++F) {
        Doc.BannerFormat = std::uint8_t(F);
        Doc.Composition = ckTwoTextsImage;
        Doc.ilv.resize(3);
        Doc.SetUpComposition2();
        ASSERT_EQ(Doc.tlv.size(), 2u);
        EXPECT_EQ(Doc.tlv[0].Caption, "Texte 1");
        EXPECT_EQ(Doc.tlv[0].Color, "$00333333");
        EXPECT_EQ(Doc.tlv[0].Size, FirstSizes[F]);
        EXPECT_EQ(Doc.tlv[1].Size,
                  std::string(MainSizes[F]) + "\r" + MainSizes[F] + "\r" + MainSizes[F]);
        EXPECT_EQ(Doc.FirstText(), &Doc.tlv[0]);
        EXPECT_EQ(Doc.MainText(), &Doc.tlv[1]);
        EXPECT_EQ(Doc.BackgroundKind, bgTemplate);
        EXPECT_EQ(Doc.TemplateNumber, Templates[F]);
        ASSERT_EQ(Doc.ilv.size(), 1u);
        const TImageElement& I = Doc.ilv[0];
        EXPECT_EQ(I.Transparent, "1");
        EXPECT_EQ(I.TransparentColor, "clWhite");
        EXPECT_EQ(I.X, Pos[F][0]);
        EXPECT_EQ(I.Y, Pos[F][1]);
        EXPECT_EQ(I.Effect, "0");
    }
    // The pictures are copies of the default picture, not shared with it.
    for (int K = 0; K < 3; ++K) {
        TBitmap32* P = Doc.ImagePicture(K);
        ASSERT_EQ(P->Width(), 60);
        ASSERT_EQ(P->Height(), 40);
        EXPECT_EQ(P->ReadPixel(0, 0), Doc.Image2.ReadPixel(0, 0));
    }
    Doc.Image1.WritePixel(5, 5, 0x12345678u);
    EXPECT_NE(Doc.Image2.ReadPixel(5, 5), 0x12345678u);
}

TEST_F(Fixture, Composition3ByFormatKeepsTheGradient) {
    struct Row {
        const char *FirstStyle, *FirstSize, *MainColor, *MainSize;
        TColor cc2;
        int Template;
    };
    const Row Rows[4] = {{"1", "12", "clblack", "11", TColor(0x00FFDDBB), 37},
                         {"2", "11", "clwhite", "10", TColor(0x00D9C3B1), 0},
                         {"2", "16", "clwhite", "13", TColor(0x00D9C3B1), 0},
                         {"2", "18", "clwhite", "14", TColor(0x00D9C3B1), 0}};
    for (int F = 0; F < 4; ++F) {
        Doc.BannerFormat = std::uint8_t(F);
        Doc.cg1 = TColor(0x010203);
        Doc.dxH = false;
        Dirty();
        Doc.SetUpComposition3();
        const Row& R = Rows[F];
        ASSERT_EQ(Doc.tlv.size(), 2u);
        EXPECT_EQ(Doc.tlv[0].Color, "ClBlack");
        EXPECT_EQ(Doc.tlv[0].StyleIndex, R.FirstStyle);
        EXPECT_EQ(Doc.tlv[0].Size, R.FirstSize);
        EXPECT_EQ(Doc.tlv[1].Value(1).Color, R.MainColor);
        EXPECT_EQ(Doc.tlv[1].Value(2).Size, R.MainSize);
        EXPECT_EQ(Doc.cc2, R.cc2);
        EXPECT_EQ(Doc.TemplateNumber, R.Template);
        EXPECT_EQ(Doc.BackgroundKind, bgGradient);
        EXPECT_EQ(Doc.cg1, TColor(0x010203));
        EXPECT_FALSE(Doc.dxH);
        EXPECT_EQ(Doc.cc1, clWhite);
        EXPECT_EQ(Doc.clbord, TColor(9868950));
        EXPECT_TRUE(Doc.BrLeft && Doc.BrRight && Doc.BrTop && Doc.BrBottom);
        EXPECT_EQ(Doc.FirstTextEffect, 0);
    }
}

TEST_F(Fixture, SetUpsIgnoreAFormatOutsideTheTable) {
    Doc.BannerFormat = 4;
    Doc.tlv.resize(1);
    Doc.tlv[0].Caption = "keep";
    Doc.SetUpComposition1();
    Doc.SetUpComposition2();
    Doc.SetUpComposition3();
    EXPECT_EQ(Doc.tlv[0].Caption, "keep");
    EXPECT_TRUE(LoadedTemplates.empty());
}

TEST_F(Fixture, WithoutALoaderTheTemplatePictureIsEmptied) {
    Doc.TemplateLoader = nullptr;
    Doc.Tex.SetDimensions(3, 3);
    Doc.SetUpComposition1();
    EXPECT_TRUE(Doc.Tex.Empty());
}

TEST_F(Fixture, NewBannerDefaults) {
    // Leave every setting the new banner must reset away from its default.
    Doc.three = false;
    Doc.AutoPositions = {0, 0, 0, 0};
    Doc.TextPositions = {1, 2, 3, 4, 5, 6};
    Doc.Value3Position = {7, 8};
    Doc.forever = false;
    Doc.loops = 9;
    Doc.effectcombo = trFade;
    Doc.Slider = 2;
    Doc.SavedBefore = true;
    Doc.Modified = true;
    Doc.extimage.SetDimensions(4, 4);
    Doc.ExtImageFileName = "fond.png";
    Doc.TextEffectCombo = 3;

    TNewBannerOptions O;
    O.Name = "promo";
    O.ModelIndex = 1; // the dialog's second entry is composition 3
    O.Width = 500;
    O.Height = 77;
    O.FormatIndex = bfCustom;
    Doc.NewBanner(O);

    EXPECT_EQ(Doc.Composition, ckTwoTexts);
    EXPECT_EQ(Doc.BannerFormat, bfStandard); // custom size stored as 0
    EXPECT_EQ(Doc.BannerWidth, 500);
    EXPECT_EQ(Doc.BannerHeight, 77);
    EXPECT_EQ(Doc.TemplateNumber, 37); // standard-format defaults
    EXPECT_EQ(Doc.tlv[0].Size, "12");
    EXPECT_EQ(Doc.FileName, "promo");
    EXPECT_TRUE(Doc.three);
    ASSERT_EQ(Doc.ActiveValues().size(), 3u);
    EXPECT_EQ(Doc.ActiveValues()[2].Text, "Texte 2-3");
    Doc.three = false;
    EXPECT_EQ(Doc.ActiveValues().size(), 2u);
    Doc.three = true;
    EXPECT_EQ(Doc.AutoPositions, (std::array<std::uint8_t, 4>{1, 1, 1, 1}));
    EXPECT_EQ(Doc.TextPositions, (std::array<std::int32_t, 6>{}));
    EXPECT_EQ(Doc.Value3Position, (std::array<std::int32_t, 2>{}));
    EXPECT_TRUE(Doc.forever);
    EXPECT_EQ(Doc.loops, 1);
    EXPECT_EQ(Doc.effectcombo, trNone);
    EXPECT_EQ(Doc.Slider, 8);
    EXPECT_EQ(Doc.TextEffectCombo, 0);
    EXPECT_FALSE(Doc.SavedBefore);
    EXPECT_FALSE(Doc.Modified);
    EXPECT_TRUE(Doc.extimage.Empty());
    EXPECT_EQ(Doc.ExtImageFileName, "");

    O.ModelIndex = 0;
    O.FormatIndex = bfHalfBanner;
    Doc.NewBanner(O);
    EXPECT_EQ(Doc.Composition, ckOneText);
    EXPECT_EQ(Doc.MainText(), &Doc.tlv[0]);
    EXPECT_EQ(Doc.FirstText(), nullptr);
    EXPECT_EQ(Doc.BackgroundKind, bgGradient);
    EXPECT_EQ(Doc.tlv[0].Value(0).Size, "14");

    O.ModelIndex = 7; // not an entry of the dialog
    Doc.NewBanner(O);
    EXPECT_EQ(Doc.Composition, ckOneText);
}
