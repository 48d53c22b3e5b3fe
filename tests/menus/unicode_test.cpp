#include "menus/SysUnicode.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<TCodePoint> ReadAll(std::string_view text, std::vector<std::size_t>* steps = nullptr) {
    std::vector<TCodePoint> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        out.push_back(Utf8GetChar(text, pos));
        if (steps) steps->push_back(pos);
    }
    return out;
}

constexpr TCodePoint FFFD = UCS4ReplacementCharacter;

} // namespace

TEST(Unicode, ConvertsBothWays) {
    EXPECT_EQ(Utf8TextToWide("\xC3\xA9"), u"\u00E9");
    EXPECT_EQ(WideToUtf8Text(u"\u00E9"), "\xC3\xA9");
    EXPECT_EQ(Utf8TextToWide("\xE9"), u"\uFFFD"); // Latin-1 passed as UTF-8
    EXPECT_EQ(Utf8TextToWide("\xF0\x9F\x98\x80"), u"\xD83D\xDE00");
    EXPECT_EQ(WideToUtf8Text(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8TextToWide(""), u"");
    EXPECT_EQ(WideToUtf8Text(u""), "");
    // Lone surrogates become one replacement each; the next unit is kept.
    EXPECT_EQ(WideToUtf8Text(u"\xD800"
                             u"A\xDC00"),
              "\xEF\xBF\xBD"
              "A\xEF\xBF\xBD");
}

TEST(Unicode, Utf8ReaderRefusesIllFormedSequences) {
    std::vector<std::size_t> steps;
    // Overlong "/" (C0 AF) and E0 80 AF: every byte is refused on its own.
    EXPECT_EQ(ReadAll("\xC0\xAF"), (std::vector<TCodePoint>{FFFD, FFFD}));
    EXPECT_EQ(ReadAll("\xE0\x80\xAF"), (std::vector<TCodePoint>{FFFD, FFFD, FFFD}));
    // A surrogate value and a value above U+10FFFF.
    EXPECT_EQ(ReadAll("\xED\xA0\x80").front(), FFFD);
    EXPECT_EQ(ReadAll("\xF4\x90\x80\x80").front(), FFFD);
    // Five- and six-byte forms are not UTF-8.
    EXPECT_EQ(ReadAll("\xF8\x88\x80\x80\x80").front(), FFFD);
    EXPECT_EQ(ReadAll("\xFC\x84\x80\x80\x80\x80").front(), FFFD);
    // A sequence broken at its third byte moves past the two valid ones.
    EXPECT_EQ(ReadAll("\xE2\x82"
                      "A",
                      &steps),
              (std::vector<TCodePoint>{FFFD, 'A'}));
    EXPECT_EQ(steps, (std::vector<std::size_t>{2, 3}));
    // Truncated at the end of the text.
    steps.clear();
    EXPECT_EQ(ReadAll("\xF0\x9F\x98", &steps), (std::vector<TCodePoint>{FFFD}));
    EXPECT_EQ(steps.back(), 3u);
    EXPECT_EQ(ReadAll("\x7F\xC2\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF"),
              (std::vector<TCodePoint>{0x7F, 0x80, 0xFFFF, 0x10FFFF}));

    std::size_t pos = 5;
    EXPECT_EQ(Utf8GetChar("abc", pos), FFFD);
    EXPECT_EQ(pos, 5u); // outside the text: no move
}

TEST(Unicode, Utf8WriterLengthsAndRoom) {
    const struct {
        TCodePoint Ch;
        std::string Bytes;
    } cases[] = {
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        {0xD800, "\xEF\xBF\xBD"},
        {0x110000, "\xEF\xBF\xBD"},
        {0x7FFFFFFF, "\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        char buffer[6] = {'x', 'x', 'x', 'x', 'x', 'x'};
        std::size_t pos = 1;
        ASSERT_TRUE(Utf8SetChar(buffer, pos, c.Ch)) << std::hex << c.Ch;
        EXPECT_EQ(std::string(buffer + 1, pos - 1), c.Bytes) << std::hex << c.Ch;
        EXPECT_EQ(buffer[0], 'x');
    }
    char small[4] = {'x', 'x', 'x', 'x'};
    std::size_t pos = 2;
    EXPECT_FALSE(Utf8SetChar(small, pos, 0x20AC));
    EXPECT_EQ(pos, 2u);
    EXPECT_EQ(std::string(small, 4), "xxxx");
    pos = 1;
    EXPECT_TRUE(Utf8SetChar(small, pos, 0x20AC)); // exactly fits
    EXPECT_EQ(pos, 4u);
    pos = 9;
    EXPECT_FALSE(Utf8SetChar(small, pos, 'A'));
}

TEST(Unicode, Utf16ReaderAndWriter) {
    const std::u16string text = u"\xD83D\xDE00"
                                u"\xD800"
                                u"B\xDC00\xD800";
    std::size_t pos = 0;
    EXPECT_EQ(Utf16GetChar(text, pos), 0x1F600u);
    EXPECT_EQ(pos, 2u);
    EXPECT_EQ(Utf16GetChar(text, pos), FFFD); // high surrogate before "B"
    EXPECT_EQ(pos, 3u);
    EXPECT_EQ(Utf16GetChar(text, pos), TCodePoint('B'));
    EXPECT_EQ(Utf16GetChar(text, pos), FFFD); // lone low
    EXPECT_EQ(Utf16GetChar(text, pos), FFFD); // high at the end
    EXPECT_EQ(pos, text.size());
    EXPECT_EQ(Utf16GetChar(text, pos), FFFD);
    EXPECT_EQ(pos, text.size());

    char16_t buffer[3] = {};
    pos = 0;
    EXPECT_TRUE(Utf16SetChar(buffer, pos, 0x10FFFF));
    EXPECT_EQ(buffer[0], 0xDBFF);
    EXPECT_EQ(buffer[1], 0xDFFF);
    EXPECT_FALSE(Utf16SetChar(buffer, pos, 0x10000)); // one unit left
    EXPECT_EQ(pos, 2u);
    EXPECT_TRUE(Utf16SetChar(buffer, pos, 0xDC00));
    EXPECT_EQ(buffer[2], 0xFFFD);
    pos = 0;
    EXPECT_TRUE(Utf16SetChar(buffer, pos, 0x110000));
    EXPECT_EQ(buffer[0], 0xFFFD);
    EXPECT_EQ(pos, 1u);
}

TEST(Unicode, CharacterTablesOfTheCodePage) {
    const TCharTables& t = CharTables();
    EXPECT_EQ(t.CharType['A'], C1_UPPER | C1_ALPHA | C1_XDIGIT | C1_DEFINED);
    EXPECT_EQ(t.CharType['g'], C1_LOWER | C1_ALPHA | C1_DEFINED);
    EXPECT_EQ(t.CharType['7'], C1_DIGIT | C1_XDIGIT | C1_DEFINED);
    EXPECT_EQ(t.CharType[' '], C1_SPACE | C1_BLANK | C1_DEFINED);
    EXPECT_EQ(t.CharType['\t'], C1_CNTRL | C1_SPACE | C1_BLANK | C1_DEFINED);
    EXPECT_EQ(t.CharType['!'], C1_PUNCT | C1_DEFINED);
    EXPECT_EQ(t.CharType[0x80], C1_PUNCT | C1_DEFINED); // euro sign
    EXPECT_EQ(t.CharType[0xDF], C1_LOWER | C1_ALPHA | C1_DEFINED);
    EXPECT_EQ(t.LowerMap['Q'], 'q');
    EXPECT_EQ(t.UpperMap[0xE9], 0xC9); // é -> É
    EXPECT_EQ(t.LowerMap[0xC9], 0xE9);
    EXPECT_EQ(t.UpperMap[0xFF], 0x9F); // ÿ -> Ÿ
    EXPECT_EQ(t.UpperMap[0x9A], 0x8A); // š -> Š
    EXPECT_EQ(t.UpperMap[0xDF], 0xDF); // no single-byte upper form
    EXPECT_EQ(t.UpperMap[0xD7], 0xD7); // ×
    for (unsigned b = 0; b < 256; ++b) {
        const std::uint16_t type = t.CharType[b];
        const unsigned expected = type & C1_UPPER   ? t.LowerMap[b]
                                  : type & C1_LOWER ? t.UpperMap[b]
                                                    : b;
        EXPECT_EQ(t.SwapMap[b], expected) << b;
        EXPECT_FALSE((type & C1_UPPER) && (type & C1_LOWER)) << b;
    }
}

TEST(Unicode, WideComparisonIgnoresCase) {
    EXPECT_EQ(WideCompareText(u"\u00C9t\u00E9", u"\u00E9T\u00C9"), 0);
    EXPECT_LT(WideCompareText(u"abc", u"ABD"), 0);
    EXPECT_GT(WideCompareText(u"b", u"A"), 0);
    EXPECT_LT(WideCompareText(u"", u"a"), 0);
    EXPECT_EQ(LocaleCodePage(), 1252u);
}
