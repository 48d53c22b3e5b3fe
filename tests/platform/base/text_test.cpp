#include "platform/base/Text.h"

#include <gtest/gtest.h>

TEST(CompareText, AsciiCaseInsensitiveOrdering) {
    EXPECT_EQ(CompareText("clWhite", "CLWHITE"), 0);
    EXPECT_TRUE(SameText("clWhite", "clwhite"));
    EXPECT_FALSE(SameText("clWhite", "clWhit"));
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_GT(CompareText("b", "A"), 0);
    EXPECT_LT(CompareText("ab", "abc"), 0);
    EXPECT_GT(CompareText("abc", "AB"), 0);
    EXPECT_EQ(CompareText("", ""), 0);
    // Only ASCII folds: "É" and "é" differ.
    EXPECT_FALSE(SameText("\xC3\x89", "\xC3\xA9"));
    EXPECT_TRUE(AnsiSameText("\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89"));
    // '_' (0x5F) sorts after letters folded to upper case.
    EXPECT_GT(CompareText("_", "a"), 0);
    EXPECT_LT(CompareStr("B", "a"), 0);
    EXPECT_FALSE(SameStr("a", "A"));
}

TEST(CaseMapping, AsciiAndLatin) {
    EXPECT_EQ(UpperCase("abc-xyz \xC3\xA9"), "ABC-XYZ \xC3\xA9");
    EXPECT_EQ(LowerCase("ABC \xC3\x89"), "abc \xC3\x89");
    EXPECT_EQ(AnsiUpperCase("\xC3\xA9t\xC3\xA9 \xC3\xA7\xC3\xA0 \xC3\xBF \xC5\x93"),
              "\xC3\x89T\xC3\x89 \xC3\x87\xC3\x80 \xC5\xB8 \xC5\x92");
    EXPECT_EQ(AnsiLowerCase("\xC3\x89T\xC3\x89 \xC5\xB8 \xC5\xA0"),
              "\xC3\xA9t\xC3\xA9 \xC3\xBF \xC5\xA1");
    // Division and multiplication signs and the sharp s have no case partner.
    EXPECT_EQ(AnsiUpperCase("\xC3\xB7\xC3\x9F"), "\xC3\xB7\xC3\x9F");
    EXPECT_EQ(AnsiLowerCase("\xC3\x97"), "\xC3\x97");
    // Bytes that are not UTF-8 pass through unchanged.
    EXPECT_EQ(AnsiUpperCase("a\xFF"
                            "b"),
              "A\xFF"
              "B");
}

TEST(Trim, ControlCharactersAndSpaces) {
    EXPECT_EQ(Trim("  \t a b \r\n"), "a b");
    EXPECT_EQ(TrimLeft("\x01 x "), "x ");
    EXPECT_EQ(TrimRight(" x \x1F"), " x");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim("\xC3\xA9"), "\xC3\xA9"); // bytes >= 0x80 are not blanks
}

TEST(StringReplace, Flags) {
    EXPECT_EQ(StringReplace("a.b.c", ".", "::", 0), "a::b.c");
    EXPECT_EQ(StringReplace("a.b.c", ".", "::", rfReplaceAll), "a::b::c");
    EXPECT_EQ(StringReplace("Abc abc ABC", "abc", "x", rfReplaceAll), "Abc x ABC");
    EXPECT_EQ(StringReplace("Abc abc ABC", "abc", "x", rfReplaceAll | rfIgnoreCase), "x x x");
    EXPECT_EQ(StringReplace("Abc abc", "ABC", "x", rfIgnoreCase), "x abc");
    EXPECT_EQ(StringReplace("aaa", "aa", "a", rfReplaceAll), "aa"); // no rescan of output
    EXPECT_EQ(StringReplace("abc", "", "x", rfReplaceAll), "abc");
    EXPECT_EQ(StringReplace("abc", "abcd", "x", rfReplaceAll | rfIgnoreCase), "abc");
    EXPECT_EQ(StringReplace("line1\rline2\r", "\r", "\n", rfReplaceAll), "line1\nline2\n");
}

TEST(Windows1252, TableOfTheHighBytes) {
    const char32_t expected[32] = {0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021,
                                   0x2C6,  0x2030, 0x160,  0x2039, 0x152,  0x8D,   0x17D,  0x8F,
                                   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};
    for (int b = 0; b < 256; ++b) {
        std::string one(1, static_cast<char>(b));
        std::string utf8 = AnsiToUtf8(one);
        std::size_t pos = 0;
        char32_t cp = 0;
        ASSERT_TRUE(NextUtf8Char(utf8, pos, cp)) << b;
        EXPECT_EQ(pos, utf8.size()) << b;
        char32_t want = (b >= 0x80 && b < 0xA0) ? expected[b - 0x80] : static_cast<char32_t>(b);
        EXPECT_EQ(cp, want) << "byte " << b;
        // Every byte maps to a code point and back.
        EXPECT_EQ(Utf8ToAnsi(utf8), one) << "byte " << b;
    }
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
    EXPECT_EQ(AnsiToUtf8("\x80 \xE9t\xE9"), "\xE2\x82\xAC \xC3\xA9t\xC3\xA9");
    EXPECT_EQ(Utf8ToAnsi("\xC5\x93uvre \xE2\x80\x94 \xE2\x80\x9Cok\xE2\x80\x9D"),
              "\x9Cuvre \x97 \x93ok\x94");
}

TEST(Windows1252, UnmappableAndInvalidBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToAnsi("\xE2\x82\xAC\xE2\x82\xAD"), "\x80?"); // euro kept, U+20AD not
    EXPECT_EQ(Utf8ToAnsi("\xC2\x80"), "?");                     // U+0080 is not on the code page
    EXPECT_EQ(Utf8ToAnsi("\xC2\x8D"), "\x8D");                  // undefined byte survives
    EXPECT_EQ(Utf8ToAnsi("a\xE4\xB8\xAD"
                         "b"),
              "a?b");                               // CJK
    EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80"), "?"); // emoji: one character, one '?'
    EXPECT_EQ(Utf8ToAnsi("\xFF"), "?");             // never valid
    EXPECT_EQ(Utf8ToAnsi("\xC3"), "?");             // truncated at the end
    EXPECT_EQ(Utf8ToAnsi("\xE2\x82"
                         "a"),
              "?a");                                   // truncated: one '?', 'a' kept
    EXPECT_EQ(Utf8ToAnsi("\xC0\xAF"), "??");           // overlong '/'
    EXPECT_EQ(Utf8ToAnsi("\xE0\x80\xAF"), "???");      // overlong, three bytes
    EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "???");      // encoded surrogate
    EXPECT_EQ(Utf8ToAnsi("\xF4\x90\x80\x80"), "????"); // above U+10FFFF
    EXPECT_EQ(Utf8ToAnsi("\x80\xBF"), "??");           // stray continuations
    EXPECT_EQ(Utf8ToAnsi(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Utf16, SurrogatesAndInvalidInput) {
    const std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    std::u16string u = Utf8ToUtf16(text);
    EXPECT_EQ(u, (std::u16string{u'A', 0xE9, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(Utf16ToUtf8(u), text);
    EXPECT_EQ(Utf16ToUtf8(u"\xD800"), "\xEF\xBF\xBD");   // lone high
    EXPECT_EQ(Utf16ToUtf8(u"\xDC00x"), "\xEF\xBF\xBDx"); // lone low
    EXPECT_EQ(Utf16ToUtf8(u"\xD800\xD800\xDC00"), "\xEF\xBF\xBD\xF0\x90\x80\x80");
    EXPECT_EQ(Utf16ToUtf8(u"\xDBFF\xDFFF"), "\xF4\x8F\xBF\xBF"); // U+10FFFF
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              (std::u16string{u'a', 0xFFFD, u'b'}));
    EXPECT_EQ(Utf8ToUtf16(""), u"");
    EXPECT_EQ(Utf8Length("\xC3\xA9t\xC3\xA9\xFF"), 4u);
}

TEST(Utf8, EveryScalarValueRoundTrips) {
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        std::string s;
        AppendUtf8(s, cp);
        std::size_t pos = 0;
        char32_t back = 0;
        ASSERT_TRUE(NextUtf8Char(s, pos, back)) << std::hex << static_cast<std::uint32_t>(cp);
        ASSERT_EQ(back, cp);
        ASSERT_EQ(pos, s.size());
        ASSERT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s) << std::hex << static_cast<std::uint32_t>(cp);
    }
}

TEST(Utf8, RandomBytesGiveValidOutputWithoutOverrun) {
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<char>(seed >> 24);
    };
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(static_cast<std::size_t>(round % 17), '\0');
        for (char& c : bytes)
            c = next();
        std::string clean = Utf16ToUtf8(Utf8ToUtf16(bytes));
        // The cleaned text is valid and stable.
        std::size_t pos = 0;
        char32_t cp;
        while (pos < clean.size())
            ASSERT_TRUE(NextUtf8Char(clean, pos, cp));
        EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(clean)), clean);
        EXPECT_LE(Utf8ToAnsi(bytes).size(), bytes.size());
        EXPECT_EQ(Utf8ToAnsi(bytes).size(), Utf8Length(bytes));
    }
}
