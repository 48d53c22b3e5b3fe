#include "platform/base/Format.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Restores the process-wide separators after a test that changes them.
class FormatSettingsGuard {
public:
    FormatSettingsGuard() : FSaved(FormatSettings()) {}
    ~FormatSettingsGuard() { FormatSettings() = FSaved; }

private:
    TFormatSettings FSaved;
};

void ExpectInvalid(std::string_view fmt, std::initializer_list<TVarRec> args) {
    try {
        Format(fmt, args);
        ADD_FAILURE() << "no exception for " << fmt;
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(),
                  "Format '" + std::string(fmt) + "' invalid or incompatible with argument");
    }
}

} // namespace

TEST(Format, IntegersWithWidthPrecisionAndJustification) {
    EXPECT_EQ(Format("%d,%d,%d,%d", {-4, 0, 1024, 768}), "-4,0,1024,768");
    EXPECT_EQ(Format("NormPos(%dx%d)", {1024, 768}), "NormPos(1024x768)");
    EXPECT_EQ(Format("[%5d]", {42}), "[   42]");
    EXPECT_EQ(Format("[%-5d]", {42}), "[42   ]");
    EXPECT_EQ(Format("[%.5d]", {-42}), "[-00042]");
    EXPECT_EQ(Format("[%8.5d]", {42}), "[   00042]");
    EXPECT_EQ(Format("[%2d]", {12345}), "[12345]"); // width never truncates
    EXPECT_EQ(Format("%d", {std::int64_t{-9223372036854775807LL - 1}}), "-9223372036854775808");
    EXPECT_EQ(Format("%d", {18446744073709551615ULL}), "18446744073709551615");
    EXPECT_EQ(Format("%u", {4000000000u}), "4000000000");
    EXPECT_EQ(Format("%u", {-1}), "4294967295"); // an int argument stays 32-bit
    EXPECT_EQ(Format("%d", {true}), "1");
}

TEST(Format, HexIsUpperCaseAndPrecisionPads) {
    EXPECT_EQ(Format("%x", {255}), "FF");
    EXPECT_EQ(Format("%X", {255}), "FF");
    EXPECT_EQ(Format("$%.8x", {0x00FF8000}), "$00FF8000");
    EXPECT_EQ(Format("%x", {-1}), "FFFFFFFF");
    EXPECT_EQ(Format("%x", {std::int64_t{-0x100000000LL}}), "FFFFFFFF00000000");
    EXPECT_EQ(Format("%p", {reinterpret_cast<const void*>(std::uintptr_t{0xABC})}),
              std::string(2 * sizeof(void*) - 3, '0') + "ABC");
}

TEST(Format, StringsAndChars) {
    EXPECT_EQ(Format("%s.%s", {"TMainform", std::string("Tbsave")}), "TMainform.Tbsave");
    EXPECT_EQ(Format("[%-10s]", {"abc"}), "[abc       ]");
    EXPECT_EQ(Format("[%10s]", {std::string_view("abc")}), "[       abc]");
    EXPECT_EQ(Format("[%.2s]", {"abc"}), "[ab]");
    // Width and precision count characters, never splitting a UTF-8 sequence.
    EXPECT_EQ(Format("[%5s]", {"été"}), "[  été]");
    EXPECT_EQ(Format("[%.2s]", {"été"}), "[ét]");
    EXPECT_EQ(Format("%c%c", {'o', 'k'}), "ok");
    EXPECT_EQ(Format("%c", {0xE9}), "é");
    EXPECT_EQ(Format("%s", {'x'}), "x");
    EXPECT_EQ(Format("100%%", {}), "100%");
    EXPECT_EQ(Format("Intensity: %d%%", {75}), "Intensity: 75%");
    EXPECT_EQ(Format("", {}), "");
}

TEST(Format, IndexesAndStars) {
    EXPECT_EQ(Format("%1:s %0:s", {"world", "hello"}), "hello world");
    // After an index the following arguments continue from it.
    EXPECT_EQ(Format("%1:s %s %0:s %s", {"a", "b", "c"}), "b c a b");
    EXPECT_EQ(Format("[%*d]", {5, 42}), "[   42]");
    EXPECT_EQ(Format("[%-*d]", {4, 7}), "[7   ]");
    EXPECT_EQ(Format("[%*d]", {-4, 7}), "[7   ]");
    EXPECT_EQ(Format("[%.*f]", {3, 3.14159}), "[3.142]");
    EXPECT_EQ(Format("[%*.*f]", {8, 1, 2.25}), "[     2.2]"); // exact tie -> even
}

TEST(Format, Floats) {
    EXPECT_EQ(Format("%f", {1.0}), "1.00");
    EXPECT_EQ(Format("%.0f", {2.5}), "2");
    EXPECT_EQ(Format("%.1f", {0.25}), "0.2");
    EXPECT_EQ(Format("%.3f", {-1.5}), "-1.500");
    EXPECT_EQ(Format("%.2f", {-0.001}), "0.00");
    EXPECT_EQ(Format("%g", {1.0}), "1");
    EXPECT_EQ(Format("%g", {0.1 + 0.2}), "0.3");
    EXPECT_EQ(Format("%g", {1e20}), "1E20");
    EXPECT_EQ(Format("%.3g", {1234.5}), "1.23E3");
    EXPECT_EQ(Format("%e", {1500.0}), "1.50000000000000E+003");
    EXPECT_EQ(Format("%.3e", {-0.000123}), "-1.23E-004");
    EXPECT_EQ(Format("%e", {0.0}), "0.00000000000000E+000");
    EXPECT_EQ(Format("%n", {1234567.891}), "1,234,567.89");
    EXPECT_EQ(Format("%.0n", {999.0}), "999");
    EXPECT_EQ(Format("%.0n", {-1000.0}), "-1,000");
    EXPECT_EQ(Format("%m", {1234.5}), "$1,234.50");
    EXPECT_EQ(Format("%m", {-2.0}), "($2.00)");
    EXPECT_EQ(Format("%f|%g|%e", {HUGE_VAL, -HUGE_VAL, std::nan("")}), "INF|-INF|NAN");
    EXPECT_EQ(Format("%.2f", {1e300}).size(), 304u); // 301 digits, '.', 2 decimals
}

TEST(Format, SeparatorsFollowSettings) {
    FormatSettingsGuard guard;
    FormatSettings().DecimalSeparator = ',';
    FormatSettings().ThousandSeparator = ' ';
    EXPECT_EQ(Format("%.2f", {1.5}), "1,50");
    EXPECT_EQ(Format("%n", {12345.678}), "12 345,68");
    EXPECT_EQ(Format("%g", {0.5}), "0,5");
}

TEST(Format, BadFormatsAndMismatchedArgumentsRaise) {
    ExpectInvalid("%d", {});       // missing argument
    ExpectInvalid("%d %d", {1});   // too few
    ExpectInvalid("%d", {"text"}); // string for an integer
    ExpectInvalid("%s", {12});     // integer for a string
    ExpectInvalid("%f", {1});      // integer for a float
    ExpectInvalid("%d", {1.5});    // float for an integer
    ExpectInvalid("%p", {1});
    ExpectInvalid("%c", {"ab"});
    ExpectInvalid("abc%", {1});           // dangling percent
    ExpectInvalid("%5", {1});             // no conversion letter
    ExpectInvalid("%q", {1});             // unknown conversion
    ExpectInvalid("%3:s", {"a", "b"});    // index past the end
    ExpectInvalid("%*d", {"x", 1});       // star needs an integer
    ExpectInvalid("%999999999d", {1});    // absurd width
    ExpectInvalid("%*d", {100000000, 1}); // absurd width from an argument
    // Extra arguments are allowed.
    EXPECT_EQ(Format("%d", {1, 2, 3}), "1");
}
