#include "controls/FontComboBox.h"
#include "platform/classes/Filer.h"
#include "platform/classes/Stream.h"
#include "platform/forms/Application.h"
#include "platform/forms/Forms.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

bool PrinterFails = false;

std::vector<TFontFamilyInfo> FakeFamilies(bool Printer) {
    if (Printer) {
        if (PrinterFails) throw std::runtime_error("no printer");
        return {{"Zeta", ANSI_CHARSET, VARIABLE_PITCH, TRUETYPE_FONTTYPE},
                {"Plotter", ANSI_CHARSET, FIXED_PITCH, DEVICE_FONTTYPE}};
    }
    return {{"Zeta", ANSI_CHARSET, VARIABLE_PITCH, TRUETYPE_FONTTYPE},
            {"Marks", SYMBOL_CHARSET, VARIABLE_PITCH, TRUETYPE_FONTTYPE},
            {"Courier", ANSI_CHARSET, FIXED_PITCH, TRUETYPE_FONTTYPE},
            {"Bitmapped", ANSI_CHARSET, FIXED_PITCH, RASTER_FONTTYPE},
            {"Terminal", OEM_CHARSET_VALUE, FIXED_PITCH, RASTER_FONTTYPE},
            {"alpha", 186, VARIABLE_PITCH, TRUETYPE_FONTTYPE}};
}

class FontCombo : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        SetFontFamilySource(FakeFamilies);
        PrinterFails = false;
        Form = new TForm(Application);
        Form->SetBounds(0, 0, 300, 200);
        B = new TFontComboBox(Form);
        B->SetParent(Form);
        B->OnChange = [this](TObject*) { ++Changes; };
    }
    void TearDown() override {
        delete Form;
        SetFontFamilySource(nullptr);
    }
    std::string Names() const {
        std::string S;
        for (int I = 0; I < B->Items()->Count(); ++I)
            S += (I ? "," : "") + B->Items()->Strings(I);
        return S;
    }
    TForm* Form = nullptr;
    TFontComboBox* B = nullptr;
    int Changes = 0;
};

TEST_F(FontCombo, FillsSortedOnceTheWindowExists) {
    EXPECT_EQ(B->Items()->Count(), 0);
    B->Handle();
    EXPECT_EQ(Names(), "alpha,Bitmapped,Courier,Marks,Terminal,Zeta");
    const int Courier = B->Items()->IndexOf("Courier");
    EXPECT_EQ(B->ItemFontType(Courier), TRUETYPE_FONTTYPE | FONT_NOT_SYMBOL);
    EXPECT_EQ(B->ItemFontType(B->Items()->IndexOf("Marks")), TRUETYPE_FONTTYPE);
    EXPECT_EQ(Changes, 0);
    EXPECT_GE(B->ItemHeight(), B->TrueTypeBitmap()->Height() - 1);
}

TEST_F(FontCombo, OptionsFilterFamilies) {
    B->Handle();
    B->SetOptions({foNoSymbolFonts});
    EXPECT_EQ(Names(), "alpha,Bitmapped,Courier,Terminal,Zeta");
    B->SetOptions({foAnsiOnly});
    EXPECT_EQ(Names(), "Bitmapped,Courier,Zeta");
    B->SetOptions({foFixedPitchOnly, foScalableOnly});
    EXPECT_EQ(Names(), "Courier");
    B->SetOptions({foOEMFontsOnly});
    EXPECT_EQ(Names(), "Terminal");
    B->SetOptions({foNoOEMFonts});
    EXPECT_EQ(B->Items()->IndexOf("Terminal"), -1);
    B->SetOptions({});
    B->SetTrueTypeOnly(true);
    EXPECT_EQ(Names(), "alpha,Courier,Marks,Zeta");
    EXPECT_TRUE(B->Options().Contains(foTrueTypeOnly));
}

TEST_F(FontCombo, PrinterFamiliesJoinOnceAndFailuresAreIgnored) {
    B->Handle();
    B->SetDevice(fdBoth);
    EXPECT_EQ(Names(), "alpha,Bitmapped,Courier,Marks,Plotter,Terminal,Zeta");
    EXPECT_EQ(B->ItemFontType(B->Items()->IndexOf("Plotter")), DEVICE_FONTTYPE | FONT_NOT_SYMBOL);
    B->SetDevice(fdPrinter);
    EXPECT_EQ(Names(), "Plotter,Zeta");
    PrinterFails = true;
    B->SetDevice(fdBoth);
    EXPECT_EQ(B->Items()->Count(), 6);
}

TEST_F(FontCombo, FontNameSelectionRules) {
    B->Handle();
    B->SetFontName("zeta");
    EXPECT_EQ(B->ItemIndex(), B->Items()->IndexOf("Zeta"));
    EXPECT_EQ(B->FontName(), "Zeta");
    EXPECT_EQ(Changes, 1);
    B->SetFontName("Zeta");
    EXPECT_EQ(Changes, 1);

    // A refill keeps the name and stays silent when it survives.
    B->SetOptions({foNoSymbolFonts});
    EXPECT_EQ(B->FontName(), "Zeta");
    EXPECT_EQ(Changes, 1);
    B->SetOptions({foOEMFontsOnly});
    EXPECT_EQ(B->ItemIndex(), -1);
    EXPECT_EQ(Changes, 2);

    B->SetOptions({});
    B->SetFontName("Nowhere");
    EXPECT_EQ(B->ItemIndex(), -1);
    EXPECT_EQ(B->FontName(), "");

    B->SetStyle(csDropDown);
    B->SetFontName("Nowhere");
    EXPECT_EQ(B->FontName(), "Nowhere");
    Changes = 0;
    B->UserType("Courier");
    EXPECT_EQ(B->ItemIndex(), B->Items()->IndexOf("Courier"));
    EXPECT_EQ(Changes, 1);
    B->UserType("courier"); // typing matches exactly, case included
    EXPECT_EQ(B->FontName(), "courier");
}

TEST_F(FontCombo, DrawsMarkAndName) {
    B->Handle();
    B->SetColor(clWhite);
    B->Font()->SetName("DejaVu Sans");
    B->Font()->SetColor(clBlack);
    const int W = 120, H = 18;
    std::vector<std::uint32_t> Buf(std::size_t(W * H), 0);
    B->Canvas()->SetSurface({reinterpret_cast<Byte*>(Buf.data()), W, H, W * 4});
    auto Dark = [&](int X0, int X1) {
        int N = 0;
        for (int Y = 0; Y < H; ++Y)
            for (int X = X0; X < X1; ++X)
                N += (Buf[std::size_t(Y * W + X)] & 0xFFFFFF) == 0;
        return N;
    };
    auto Has = [&](TColor C) {
        const std::uint32_t Want = std::uint32_t(ColorToRGB(C));
        const std::uint32_t Bgr = ((Want & 0xFF) << 16) | (Want & 0xFF00) | (Want >> 16);
        for (std::uint32_t P : Buf)
            if ((P & 0xFFFFFF) == Bgr) return true;
        return false;
    };
    const int Mark = B->TrueTypeBitmap()->Width();
    B->PaintItem(B->Items()->IndexOf("Zeta"), Rect(0, 0, W, H), {});
    EXPECT_GT(Dark(2, 2 + Mark), 0); // the TrueType mark
    EXPECT_GT(Dark(Mark + 6, W), 0); // the name after it
    EXPECT_EQ(Dark(0, 2), 0);        // nothing left of the mark
    EXPECT_FALSE(Has(clOlive));      // the mark's key colour is not drawn

    std::fill(Buf.begin(), Buf.end(), 0u);
    B->PaintItem(B->Items()->IndexOf("Bitmapped"), Rect(0, 0, W, H), {});
    EXPECT_EQ(Dark(0, 20 + 6), 0); // no mark: the text starts 26 pixels in
    EXPECT_GT(Dark(26, W), 0);
    B->Canvas()->SetSurface({});
}

TEST_F(FontCombo, StreamRoundTripKeepsOptionsAndName) {
    RegisterFontComboClasses();
    B->Handle();
    B->SetOptions({foNoSymbolFonts});
    B->SetFontName("Courier");
    TMemoryStream S;
    WriteComponentToStream(S, B);
    auto* Copy = new TFontComboBox(Form);
    Copy->SetParent(Form);
    S.SetPosition(0);
    ReadComponentFromStream(S, Copy);
    EXPECT_EQ(Copy->Options(), TFontListOptions{foNoSymbolFonts});
    EXPECT_EQ(Copy->FontName(), "Courier");
    Copy->Handle(); // the list arrives with the window and finds the name
    EXPECT_EQ(Copy->Items()->IndexOf("Marks"), -1);
    EXPECT_EQ(Copy->ItemIndex(), Copy->Items()->IndexOf("Courier"));
}

TEST(FontFamilies, DefaultSourceListsInstalledScreenFamilies) {
    InitForms();
    const std::vector<TFontFamilyInfo> Screen = DefaultFontFamilies(false);
    bool Found = false;
    for (const TFontFamilyInfo& F : Screen)
        if (F.Name == "DejaVu Sans Mono") {
            Found = true;
            EXPECT_EQ(F.PitchAndFamily & FIXED_PITCH, FIXED_PITCH);
            EXPECT_EQ(F.FontType, TRUETYPE_FONTTYPE);
        }
    EXPECT_TRUE(Found);
    EXPECT_TRUE(DefaultFontFamilies(true).empty());
}

} // namespace
