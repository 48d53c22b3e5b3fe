#include <gtest/gtest.h>

#include <set>

#include "platform/base/Exception.h"
#include "platform/graphics/Colors.h"

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return s;
}
std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return s;
}

std::string ConvertErrorOf(std::string_view Text) {
    try {
        StringToColor(Text);
    } catch (const EConvertError& e) {
        return e.Message();
    }
    return "no error";
}

} // namespace

TEST(Colors, IdentifierTableHasTheLibraryNamesAndValues) {
    auto Table = ColorIdentTable();
    ASSERT_EQ(Table.size(), 52u);
    std::set<std::string> Names;
    for (const auto& e : Table)
        EXPECT_TRUE(Names.insert(Lower(e.Name)).second) << e.Name;
    struct {
        const char* Name;
        std::uint32_t Value;
    } const Expected[] = {
        {"clBlack", 0x000000},     {"clMaroon", 0x000080},       {"clGreen", 0x008000},
        {"clOlive", 0x008080},     {"clNavy", 0x800000},         {"clPurple", 0x800080},
        {"clTeal", 0x808000},      {"clGray", 0x808080},         {"clSilver", 0xC0C0C0},
        {"clRed", 0x0000FF},       {"clLime", 0x00FF00},         {"clYellow", 0x00FFFF},
        {"clBlue", 0xFF0000},      {"clFuchsia", 0xFF00FF},      {"clAqua", 0xFFFF00},
        {"clWhite", 0xFFFFFF},     {"clMoneyGreen", 0xC0DCC0},   {"clSkyBlue", 0xF0CAA6},
        {"clCream", 0xF0FBFF},     {"clMedGray", 0xA4A0A0},      {"clScrollBar", 0x80000000},
        {"clBtnFace", 0x8000000F}, {"clInfoBk", 0x80000018},     {"clHotLight", 0x8000001A},
        {"clMenuBar", 0x8000001E}, {"cl3DDkShadow", 0x80000015}, {"clNone", 0x1FFFFFFF},
        {"clDefault", 0x20000000},
    };
    for (const auto& x : Expected) {
        TColor c = 0;
        ASSERT_TRUE(IdentToColor(x.Name, c)) << x.Name;
        EXPECT_EQ(std::uint32_t(c), x.Value) << x.Name;
    }
}

TEST(Colors, EveryIdentifierRoundTripsInAnyCase) {
    for (const auto& e : ColorIdentTable()) {
        EXPECT_EQ(ColorToString(e.Value), e.Name);
        EXPECT_EQ(StringToColor(e.Name), e.Value);
        EXPECT_EQ(StringToColor(Upper(e.Name)), e.Value);
        EXPECT_EQ(StringToColor(Lower(e.Name)), e.Value);
    }
}

TEST(Colors, NumericTexts) {
    EXPECT_EQ(ColorToString(0xFF8000), "$00FF8000");
    EXPECT_EQ(StringToColor("$00FF8000"), 0xFF8000);
    EXPECT_EQ(StringToColor("$00ff8000"), 0xFF8000);
    EXPECT_EQ(ColorToString(0x123456), "$00123456");
    EXPECT_EQ(ColorToString(TColor(0x8000001F)), "$8000001F");
    EXPECT_EQ(StringToColor("$8000001F"), TColor(0x8000001F));
    EXPECT_EQ(ColorToString(-1), "$FFFFFFFF");
    EXPECT_EQ(StringToColor("$FFFFFFFF"), -1);
    EXPECT_EQ(StringToColor("0x10"), 16);
    EXPECT_EQ(StringToColor("$0000000000FF"), 255); // leading zeros do not count
    // Decimal texts, and values that have a name come back as the name.
    EXPECT_EQ(StringToColor("255"), clRed);
    EXPECT_EQ(ColorToString(StringToColor("255")), "clRed");
    EXPECT_EQ(StringToColor("16777215"), clWhite);
    EXPECT_EQ(StringToColor("-16777201"), TColor(0xFF00000F));
    EXPECT_EQ(StringToColor("2147483647"), 0x7FFFFFFF);
    EXPECT_EQ(StringToColor("-2147483648"), TColor(0x80000000));
    for (std::int32_t v : {0x000001, 0x00FFFE, 0x7FFFFFFF, -2, 0x0C0C0C})
        EXPECT_EQ(StringToColor(ColorToString(v)), v);
}

TEST(Colors, InvalidTextsRaiseConvertErrorNamingTheText) {
    EXPECT_EQ(ConvertErrorOf("clNotAColour"), "'clNotAColour' is not a valid integer value");
    EXPECT_EQ(ConvertErrorOf(""), "'' is not a valid integer value");
    for (const char* Bad : {"$", "0x", "$123456789", "12abc", "2147483648", "-2147483649",
                            "$00FF800G", "clRed ", "- 5", "1.5"})
        EXPECT_EQ(ConvertErrorOf(Bad), "'" + std::string(Bad) + "' is not a valid integer value");
    EXPECT_THROW(StringToColor("bogus"), EConvertError);
}

TEST(Colors, RegisteredTablesAreSearchedFirstAndCanBeRemoved) {
    static constexpr TIdentMapEntry Extra[] = {{0x003090, "clBrown"}, {0x0068FF, "clOrange"}};
    static constexpr TIdentMapEntry Override[] = {{clRed, "clScarlet"}};
    TColor c = 0;
    EXPECT_FALSE(IdentToColor("clBrown", c));

    RegisterColorIdents(Extra);
    RegisterColorIdents(Extra); // twice is once
    EXPECT_EQ(ColorToString(0x003090), "clBrown");
    EXPECT_EQ(StringToColor("CLORANGE"), 0x0068FF);
    EXPECT_EQ(StringToColor("clRed"), clRed);

    RegisterColorIdents(Override);
    EXPECT_EQ(ColorToString(clRed), "clScarlet");
    EXPECT_EQ(StringToColor("clRed"), clRed); // the old name still reads
    std::vector<std::string> Names;
    GetColorValues([&](const std::string& n) { Names.push_back(n); });
    ASSERT_EQ(Names.size(), 55u);
    EXPECT_EQ(Names[0], "clScarlet");
    EXPECT_EQ(Names[1], "clBrown");
    EXPECT_EQ(Names[3], "clBlack");

    UnregisterColorIdents(Override);
    UnregisterColorIdents(Extra);
    EXPECT_EQ(ColorToString(clRed), "clRed");
    EXPECT_EQ(ColorToString(0x003090), "$00003090");
    EXPECT_THROW(StringToColor("clBrown"), EConvertError);
}

TEST(Colors, ColorToRgbResolvesSystemColoursOnly) {
    EXPECT_EQ(ColorToRGB(clBtnFace), 0xC8D0D4);
    EXPECT_EQ(ColorToRGB(clWindow), 0xFFFFFF);
    EXPECT_EQ(ColorToRGB(clWindowText), 0x000000);
    EXPECT_EQ(ColorToRGB(clHighlight), 0x6A240A);
    EXPECT_EQ(ColorToRGB(clInfoBk), 0xE1FFFF);
    EXPECT_EQ(ColorToRGB(clBtnShadow), 0x808080);
    EXPECT_EQ(ColorToRGB(clBtnHighlight), 0xFFFFFF);
    // The older 0xFF000000 form of system colours keeps the low byte as index.
    EXPECT_EQ(ColorToRGB(TColor(0xFF000005)), 0xFFFFFF);
    EXPECT_EQ(ColorToRGB(TColor(0x800000FF)), 0); // no such index
    EXPECT_EQ(ColorToRGB(0x123456), 0x123456);
    EXPECT_EQ(ColorToRGB(clNone), clNone);
    EXPECT_EQ(ColorToRGB(clDefault), clDefault);
    for (int i = 0; i <= 30; ++i)
        EXPECT_EQ(ColorToRGB(clSystemColor | i) & ~0xFFFFFF, 0) << i;
}
