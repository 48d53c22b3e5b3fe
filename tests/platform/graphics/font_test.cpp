#include <gtest/gtest.h>

#include "platform/base/Exception.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/GraphicsObjects.h"

TEST(Font, Defaults) {
    TFont f;
    EXPECT_EQ(f.Name(), "MS Sans Serif");
    EXPECT_EQ(f.Height(), -11);
    EXPECT_EQ(f.Size(), 8);
    EXPECT_TRUE(f.Style().Empty());
    EXPECT_EQ(f.Color(), clWindowText);
    EXPECT_EQ(f.Charset(), DEFAULT_CHARSET);
    EXPECT_EQ(f.Pitch(), fpDefault);
    EXPECT_EQ(f.Quality(), fqDefault);
    EXPECT_EQ(f.PixelsPerInch(), 96);
}

TEST(Font, PointsAndPixelsAt96Dpi) {
    // Points -> height: -MulDiv(Size, 96, 72), half away from zero.
    const int Sizes[][2] = {{8, -11},  {9, -12},  {10, -13}, {11, -15}, {12, -16}, {7, -9},
                            {14, -19}, {72, -96}, {1, -1},   {0, 0},    {-12, 16}, {-11, 15}};
    for (auto [Points, Height] : Sizes) {
        TFont f;
        f.SetSize(Points);
        EXPECT_EQ(f.Height(), Height) << Points;
        EXPECT_EQ(PointsToHeight(Points), Height);
    }
    // Height -> points: -MulDiv(Height, 72, 96).
    const int Heights[][2] = {{-11, 8},  {-13, 10}, {-15, 11}, {-14, 11}, {-10, 8}, {-2, 2},
                              {-16, 12}, {20, -15}, {-1, 1},   {6, -5},   {-96, 72}};
    for (auto [Height, Points] : Heights) {
        TFont f;
        f.SetHeight(Height);
        EXPECT_EQ(f.Size(), Points) << Height;
        EXPECT_EQ(HeightToPoints(Height), Points);
    }
}

TEST(Font, ChangeNotificationOnlyOnRealChanges) {
    TFont f;
    int Count = 0;
    TObject* Sender = nullptr;
    f.OnChange = [&](TObject* s) {
        ++Count;
        Sender = s;
    };
    f.SetName("Arial");
    f.SetName("Arial");
    f.SetName(""); // ignored
    EXPECT_EQ(f.Name(), "Arial");
    EXPECT_EQ(Count, 1);
    EXPECT_EQ(Sender, &f);
    f.SetSize(8); // already -11
    EXPECT_EQ(Count, 1);
    f.SetSize(10);
    f.SetStyle({fsBold, fsItalic});
    f.SetStyle({fsItalic, fsBold});
    f.SetColor(clRed);
    f.SetCharset(ANSI_CHARSET);
    f.SetPitch(fpFixed);
    f.SetQuality(fqAntialiased);
    EXPECT_EQ(Count, 7);
}

TEST(Font, AssignCopiesEverythingOnceAndRefusesOtherClasses) {
    TFont a, b;
    a.SetName("Verdana");
    a.SetHeight(-20);
    a.SetStyle({fsUnderline, fsStrikeOut});
    a.SetColor(0x123456);
    a.SetCharset(SYMBOL_CHARSET);
    a.SetPitch(fpVariable);
    a.SetQuality(fqNonAntialiased);
    int Count = 0;
    b.OnChange = [&](TObject*) { ++Count; };
    b.Assign(static_cast<const TPersistent*>(&a));
    EXPECT_EQ(Count, 1);
    EXPECT_EQ(b.LogFont(), a.LogFont());
    EXPECT_EQ(b.Color(), 0x123456);

    TPen Pen;
    try {
        b.Assign(&Pen);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TPen to a TFont");
    }
}

TEST(Font, LogicalFontAsTheRasterEngineBuildsIt) {
    TFont f;
    f.SetName("dEfAuLt");
    f.SetHeight(-24);
    f.SetStyle({fsBold, fsItalic, fsUnderline});
    f.SetCharset(ANSI_CHARSET);
    f.SetPitch(fpVariable);
    TLogFont l = BuildLogFont(f, fqAntialiased);
    EXPECT_EQ(l.FaceName, "MS Sans Serif");
    EXPECT_EQ(l.Height, -24);
    EXPECT_EQ(l.Width, 0);
    EXPECT_EQ(l.Escapement, 0);
    EXPECT_EQ(l.Weight, 700);
    EXPECT_TRUE(l.Italic);
    EXPECT_TRUE(l.Underline);
    EXPECT_FALSE(l.StrikeOut);
    EXPECT_EQ(l.CharSet, ANSI_CHARSET);
    EXPECT_EQ(l.Quality, 4);
    EXPECT_EQ(l.PitchAndFamily, 2);
    f.SetPitch(fpFixed);
    f.SetStyle({});
    l = BuildLogFont(f, fqNonAntialiased);
    EXPECT_EQ(l.PitchAndFamily, 1);
    EXPECT_EQ(l.Weight, 400);
    EXPECT_EQ(l.Quality, 3);
    f.SetName("Defaults");
    EXPECT_EQ(BuildLogFont(f, fqDefault).FaceName, "Defaults");

    // Giving the description back to a font takes every attribute but the colour.
    TFont g;
    g.SetColor(clLime);
    int Count = 0;
    g.OnChange = [&](TObject*) { ++Count; };
    TLogFont In = BuildLogFont(f, fqAntialiased);
    In.Weight = 800;
    In.StrikeOut = true;
    g.SetLogFont(In);
    EXPECT_EQ(Count, 1);
    EXPECT_EQ(g.Name(), "Defaults");
    EXPECT_EQ(g.Height(), -24);
    EXPECT_EQ(g.Style(), (TFontStyles{fsBold, fsStrikeOut}));
    EXPECT_EQ(g.Pitch(), fpFixed);
    EXPECT_EQ(g.Quality(), fqAntialiased);
    EXPECT_EQ(g.Color(), clLime);
}
