// Byte forms of single values: the write rules, reading back through every
// accepted tag, skipping each of the 21 tags, and refusals.
#include "platform/classes/Filer.h"
#include "support/StreamBytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

template <class F> Bytes Written(F&& Write) {
    TBytesStream s;
    TWriter w(s);
    Write(w);
    return s.Bytes();
}

Bytes Chars(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

Bytes Le32(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

TEST(FilerValues, IntegersTakeTheSmallestTag) {
    struct Case {
        std::int64_t Value;
        Bytes Expected;
    };
    const Case cases[] = {
        {0, {0x02, 0x00}},
        {-1, {0x02, 0xFF}},
        {127, {0x02, 0x7F}},
        {-128, {0x02, 0x80}},
        {128, {0x03, 0x80, 0x00}},
        {-129, {0x03, 0x7F, 0xFF}},
        {32767, {0x03, 0xFF, 0x7F}},
        {-32768, {0x03, 0x00, 0x80}},
        {32768, {0x04, 0x00, 0x80, 0x00, 0x00}},
        {-32769, {0x04, 0xFF, 0x7F, 0xFF, 0xFF}},
        {2147483647, {0x04, 0xFF, 0xFF, 0xFF, 0x7F}},
        {-2147483648LL, {0x04, 0x00, 0x00, 0x00, 0x80}},
        {2147483648LL, {0x13, 0x00, 0x00, 0x00, 0x80, 0, 0, 0, 0}},
        {-2147483649LL, {0x13, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        const Bytes b = Written([&](TWriter& w) { w.WriteInteger(c.Value); });
        EXPECT_EQ(b, c.Expected) << c.Value;
        TBytesStream s(b);
        TReader r(s);
        EXPECT_EQ(r.ReadInt64(), c.Value);
        if (c.Value >= INT32_MIN && c.Value <= INT32_MAX) {
            TBytesStream s2(b);
            TReader r2(s2);
            EXPECT_EQ(r2.ReadInteger(), c.Value);
        }
    }
}

TEST(FilerValues, ReadIntegerTakesInt64OnlyWhenItFits) {
    TBytesStream fits(Bytes{0x13, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    TReader r(fits);
    EXPECT_EQ(r.ReadInteger(), -2);

    TBytesStream big(Written([](TWriter& w) { w.WriteInteger(1LL << 40); }));
    TReader r2(big);
    EXPECT_THROW(r2.ReadInteger(), EReadError);

    TBytesStream text(Written([](TWriter& w) { w.WriteString("7"); }));
    TReader r3(text);
    try {
        r3.ReadInteger();
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Invalid property value");
    }
}

TEST(FilerValues, TextTagFollowsContent) {
    EXPECT_EQ(Written([](TWriter& w) { w.WriteString("abc"); }), (Bytes{0x06, 3, 'a', 'b', 'c'}));
    EXPECT_EQ(Written([](TWriter& w) { w.WriteString(""); }), (Bytes{0x06, 0}));

    const std::string a255(255, 'a'), a256(256, 'a');
    EXPECT_EQ(Written([&](TWriter& w) { w.WriteString(a255); }), Cat({{0x06, 0xFF}, Chars(a255)}));
    EXPECT_EQ(Written([&](TWriter& w) { w.WriteString(a256); }),
              Cat({{0x0C}, Le32(256), Chars(a256)}));

    // "été": 5 UTF-8 bytes for 3 UTF-16 units: 5 < 6, so UTF-8.
    const std::string ete = "\xC3\xA9t\xC3\xA9";
    EXPECT_EQ(Written([&](TWriter& w) { w.WriteString(ete); }), Cat({{0x14}, Le32(5), Chars(ete)}));
    // "é" alone: 2 bytes are not shorter than 2 * 1, so UTF-16.
    EXPECT_EQ(Written([](TWriter& w) { w.WriteString("\xC3\xA9"); }),
              (Bytes{0x12, 1, 0, 0, 0, 0xE9, 0x00}));
    // U+65E5 U+672C: 6 bytes against 4.
    EXPECT_EQ(Written([](TWriter& w) { w.WriteString("\xE6\x97\xA5\xE6\x9C\xAC"); }),
              (Bytes{0x12, 2, 0, 0, 0, 0xE5, 0x65, 0x2C, 0x67}));
    // A character outside the BMP is a surrogate pair: 4 bytes against 4.
    EXPECT_EQ(Written([](TWriter& w) { w.WriteString("\xF0\x9F\x98\x80"); }),
              (Bytes{0x12, 2, 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE}));

    for (const std::string& text :
         {std::string("abc"), a256, ete, std::string("\xE6\x97\xA5\xE6\x9C\xAC"),
          std::string("\xF0\x9F\x98\x80 x"), std::string()}) {
        TBytesStream s(Written([&](TWriter& w) { w.WriteString(text); }));
        TReader r(s);
        EXPECT_EQ(r.ReadString(), text);
        EXPECT_EQ(s.Position(), s.Size());
    }
}

TEST(FilerValues, EightBitTextIsWindows1252) {
    // 0x80 is the euro sign, 0xE9 "é".
    TBytesStream s(Bytes{0x06, 2, 0x80, 0xE9, 0x0C, 1, 0, 0, 0, 0xE9});
    TReader r(s);
    EXPECT_EQ(r.ReadString(), "\xE2\x82\xAC\xC3\xA9");
    EXPECT_EQ(r.ReadString(), "\xC3\xA9");
    // Names are short strings in the same code page; "?" for what it lacks.
    EXPECT_EQ(Written([](TWriter& w) { w.WriteStr("\xC3\xA9\xE6\x97\xA5"); }),
              (Bytes{2, 0xE9, '?'}));
    // Cut to 255 bytes.
    const Bytes long_name = Written([](TWriter& w) { w.WriteStr(std::string(300, 'n')); });
    ASSERT_EQ(long_name.size(), 256u);
    EXPECT_EQ(long_name[0], 255);
}

TEST(FilerValues, InvalidUtf8FromTheStreamIsReplaced) {
    TBytesStream s(Bytes{0x14, 3, 0, 0, 0, 'a', 0xFF, 'b'});
    TReader r(s);
    EXPECT_EQ(r.ReadString(), "a\xEF\xBF\xBD"
                              "b");
}

TEST(FilerValues, ReservedIdentifiersBecomeTheirTags) {
    EXPECT_EQ(Written([](TWriter& w) { w.WriteIdent("False"); }), Bytes{0x08});
    EXPECT_EQ(Written([](TWriter& w) { w.WriteIdent("TRUE"); }), Bytes{0x09});
    EXPECT_EQ(Written([](TWriter& w) { w.WriteIdent("Nil"); }), Bytes{0x0D});
    EXPECT_EQ(Written([](TWriter& w) { w.WriteIdent("null"); }), Bytes{0x00});
    EXPECT_EQ(Written([](TWriter& w) { w.WriteIdent("dmBlend"); }),
              Cat({{0x07, 7}, Chars("dmBlend")}));
    EXPECT_EQ(Written([](TWriter& w) { w.WriteBoolean(true); }), Bytes{0x09});
    EXPECT_EQ(Written([](TWriter& w) { w.WriteBoolean(false); }), Bytes{0x08});

    TBytesStream s(Bytes{0x08, 0x09, 0x0D, 0x00, 0x07, 2, 'a', 'b'});
    TReader r(s);
    EXPECT_EQ(r.ReadIdent(), "False");
    EXPECT_EQ(r.ReadIdent(), "True");
    EXPECT_EQ(r.ReadIdent(), "nil");
    EXPECT_EQ(r.ReadIdent(), "Null");
    EXPECT_EQ(r.ReadIdent(), "ab");
}

TEST(FilerValues, FloatsAreExtendedAndReadFromSeveralTags) {
    EXPECT_EQ(Written([](TWriter& w) { w.WriteFloat(1.0); }),
              (Bytes{0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
    EXPECT_EQ(Written([](TWriter& w) { w.WriteSingle(1.0f); }),
              (Bytes{0x0F, 0x00, 0x00, 0x80, 0x3F}));

    const Bytes all = Written([](TWriter& w) {
        w.WriteFloat(-2.5e-300);
        w.WriteSingle(0.25f);
        w.WriteCurrency(12.34565);
        w.WriteDate(45000.5);
        w.WriteInteger(-7);
        w.WriteInteger(100000);
    });
    TBytesStream s(all);
    TReader r(s);
    EXPECT_EQ(r.ReadFloat(), -2.5e-300);
    EXPECT_EQ(r.ReadFloat(), 0.25);
    EXPECT_EQ(r.ReadFloat(), 12.3456); // 123456.5 units rounds to even
    EXPECT_EQ(r.ReadFloat(), 45000.5);
    EXPECT_EQ(r.ReadFloat(), -7.0);
    EXPECT_EQ(r.ReadFloat(), 100000.0);
    TBytesStream bad(Bytes{0x09});
    TReader r2(bad);
    EXPECT_THROW(r2.ReadFloat(), EReadError);
}

TEST(FilerValues, SetsListTheirElementNames) {
    const std::vector<std::string> idents{"akLeft", "akTop", "akRight", "akBottom"};
    const Bytes b = Written([&](TWriter& w) { w.WriteSet(0b1010, idents); });
    EXPECT_EQ(b, Cat({{0x0B, 5}, Chars("akTop"), {8}, Chars("akBottom"), {0}}));
    TBytesStream s(b);
    TReader r(s);
    EXPECT_EQ(r.ReadSet(idents), 0b1010u);

    TBytesStream unknown(Cat({{0x0B, 4}, Chars("akUp"), {0}}));
    TReader r2(unknown);
    EXPECT_THROW(r2.ReadSet(idents), EReadError);
}

// One value of each of the 21 tags, in tag order, each followed by a marker
// (int8 90) so that a skip that stops short or runs on shows.
// clang-format off
const std::vector<Bytes> OneOfEachTag = {
    {0x00},
    {0x01, 0x02, 0x01, 0x06, 1, 'x', 0x01, 0x00, 0x00},         // nested list
    {0x02, 0xFE},
    {0x03, 0x34, 0x12},
    {0x04, 1, 2, 3, 4},
    {0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F},
    {0x06, 3, 'a', 'b', 'c'},
    {0x07, 2, 'o', 'k'},
    {0x08},
    {0x09},
    {0x0A, 3, 0, 0, 0, 0x00, 0x5A, 0x02},                       // payload looks like values
    {0x0B, 1, 'a', 2, 'b', 'c', 0},
    {0x0C, 2, 0, 0, 0, 'h', 'i'},
    {0x0D},
    {0x0E,
     0x02, 0x05, 0x01, 4, 'N', 'a', 'm', 'e', 0x06, 1, 'a', 0x00, // int8 order
     0x01, 1, 'L', 0x01, 0x02, 0x01, 0x00, 2, 'T', 'g', 0x09, 0x00, // no order
     0x03, 0x00, 0x01, 0x01, 0x00,                                // int16 order
     0x00},
    {0x0F, 0, 0, 0x80, 0x3F},
    {0x10, 1, 2, 3, 4, 5, 6, 7, 8},
    {0x11, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F},
    {0x12, 2, 0, 0, 0, 'a', 0, 'b', 0},
    {0x13, 1, 2, 3, 4, 5, 6, 7, 8},
    {0x14, 2, 0, 0, 0, 0xC3, 0xA9},
};
// clang-format on

Bytes EveryTag() {
    Bytes all;
    for (const Bytes& v : OneOfEachTag) {
        all.insert(all.end(), v.begin(), v.end());
        all.push_back(0x02);
        all.push_back(0x5A);
    }
    return all;
}

TEST(FilerValues, EveryTagIsSkippedWhole) {
    TBytesStream s(EveryTag());
    TReader r(s);
    for (int tag = 0; tag <= vaUTF8String; ++tag) {
        ASSERT_EQ(r.NextValue(), static_cast<TValueType>(tag));
        r.SkipValue();
        ASSERT_EQ(r.ReadInteger(), 0x5A) << "after tag " << tag;
    }
    EXPECT_EQ(s.Position(), s.Size());
}

TEST(FilerValues, UnknownTagIsRefused) {
    TBytesStream s(Bytes{0x15, 0, 0});
    TReader r(s);
    EXPECT_THROW(r.SkipValue(), EReadError);
}

TEST(FilerValues, TruncatedValuesRaiseReadErrorAtEveryLength) {
    const Bytes all = EveryTag();
    // Cut each value (with its marker) at every length short of its end.
    TBytesStream whole(all);
    TReader walker(whole);
    std::int64_t start = 0;
    for (int tag = 0; tag <= vaUTF8String; ++tag) {
        walker.SkipValue();
        const std::int64_t end = whole.Position();
        walker.ReadInteger();
        for (std::int64_t cut = start + 1; cut < end; ++cut) {
            TBytesStream s(Bytes(all.begin() + start, all.begin() + cut));
            TReader r(s);
            EXPECT_THROW(r.SkipValue(), EReadError) << "tag " << tag << " cut " << cut - start;
        }
        start = whole.Position();
    }
}

TEST(FilerValues, LengthsBeyondTheStreamAreRefusedBeforeAllocating) {
    const Bytes cases[] = {
        {0x0A, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3}, // binary, 2 GiB claimed
        {0x0C, 0x00, 0x00, 0x00, 0x80},          // negative long string
        {0x12, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0},  // wide string of 2^31 - 1 units
        {0x14, 0x10, 0x00, 0x00, 0x00, 'a'},     // UTF-8 string of 16 bytes
    };
    for (const Bytes& b : cases) {
        TBytesStream s(b);
        TReader r(s);
        try {
            if (b[0] == 0x0A)
                r.SkipValue();
            else
                r.ReadString();
            ADD_FAILURE() << "tag " << int(b[0]);
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message(), "Stream read error");
        }
    }
}

TEST(FilerValues, NestingIsBounded) {
    // 10000 nested lists would exhaust the call stack of a naive skipper.
    Bytes deep(10000, 0x01);
    deep.insert(deep.end(), 10000, 0x00);
    TBytesStream s(deep);
    TReader r(s);
    EXPECT_THROW(r.SkipValue(), EReadError);
    // A modest depth is fine.
    Bytes ok(20, 0x01);
    ok.insert(ok.end(), 20, 0x00);
    TBytesStream s2(ok);
    TReader r2(s2);
    r2.SkipValue();
    EXPECT_EQ(s2.Position(), s2.Size());
}

} // namespace
