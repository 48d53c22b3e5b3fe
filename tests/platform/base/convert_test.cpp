#include "platform/base/Convert.h"
#include "platform/base/Format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

std::string IntError(std::string_view s) {
    try {
        StrToInt(s);
    } catch (const EConvertError& e) {
        return e.Message();
    }
    return "no error";
}

} // namespace

TEST(IntToStr, DecimalAndHex) {
    EXPECT_EQ(IntToStr(0), "0");
    EXPECT_EQ(IntToStr(-42), "-42");
    EXPECT_EQ(IntToStr(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(0xABCDEF, 2), "ABCDEF");
    EXPECT_EQ(IntToHex(-1, 1), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(IntToHex(0, 0), "0");
}

TEST(StrToInt, AcceptedForms) {
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt("123"), 123);
    EXPECT_EQ(StrToInt("  -123"), -123);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("007"), 7);
    EXPECT_EQ(StrToInt("$FF"), 255);
    EXPECT_EQ(StrToInt("$ff"), 255);
    EXPECT_EQ(StrToInt("0x1F"), 31);
    EXPECT_EQ(StrToInt("0X1f"), 31);
    EXPECT_EQ(StrToInt("-$10"), -16);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    // Hexadecimal fills the 32 bits: colour texts of system colours are
    // negative ints written as "$80000005".
    EXPECT_EQ(StrToInt("$80000005"), static_cast<int>(0x80000005u));
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToInt("$0000000000FF"), 255); // leading zeros are not digits that overflow
}

TEST(StrToInt, RejectedFormsRaiseTheExactMessage) {
    EXPECT_EQ(IntError(""), "'' is not a valid integer value");
    EXPECT_EQ(IntError("abc"), "'abc' is not a valid integer value");
    for (std::string_view bad :
         {" ", "-", "+", "$", "0x", "12a", "1 ", "1.0", "--1", "+-1", "$G", "0x-1", "1e3",
          "2147483648", "-2147483649", "99999999999999999999", "$100000000", "\t1"}) {
        int v = 77;
        EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
        EXPECT_EQ(v, 77) << "value changed on failure for " << bad;
        EXPECT_EQ(StrToIntDef(bad, -5), -5) << bad;
        EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
    }
}

TEST(StrToInt64, FullRange) {
    EXPECT_EQ(StrToInt64("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(StrToInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(StrToInt64("4294967296"), 4294967296LL);
    EXPECT_EQ(StrToInt64Def("9223372036854775808", 3), 3);
    EXPECT_EQ(StrToInt64Def("$10000000000000000", 3), 3);
    std::int64_t v = 0;
    EXPECT_TRUE(TryStrToInt64(" $7fffffff", v));
    EXPECT_EQ(v, 0x7FFFFFFF);
    EXPECT_THROW(StrToInt64("x"), EConvertError);
}

TEST(FloatToStr, GeneralFormWithFifteenDigits) {
    EXPECT_EQ(FloatToStr(1.0), "1");
    EXPECT_EQ(FloatToStr(0.5), "0.5");
    EXPECT_EQ(FloatToStr(-2.25), "-2.25");
    EXPECT_EQ(FloatToStr(0.0), "0");
    EXPECT_EQ(FloatToStr(-0.0), "0");
    EXPECT_EQ(FloatToStr(1e20), "1E20");
    EXPECT_EQ(FloatToStr(1e15), "1E15");
    EXPECT_EQ(FloatToStr(1e14), "100000000000000");
    EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
    EXPECT_EQ(FloatToStr(1234567890123456.0), "1.23456789012346E15");
    EXPECT_EQ(FloatToStr(0.0001), "0.0001");
    EXPECT_EQ(FloatToStr(0.00001), "1E-5");
    EXPECT_EQ(FloatToStr(1.5e-7), "1.5E-7");
    EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");
    EXPECT_EQ(FloatToStr(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FloatToStr(2.0 / 3.0), "0.666666666666667");
    EXPECT_EQ(FloatToStr(9.9999999999999999), "10");
    EXPECT_EQ(FloatToStr(-1.7976931348623157e308), "-1.79769313486232E308");
    EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FloatToStr(-HUGE_VAL), "-INF");
}

TEST(StrToFloat, FormsErrorsAndSeparator) {
    EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloat(" -0.25 "), -0.25);
    EXPECT_DOUBLE_EQ(StrToFloat("+3"), 3.0);
    EXPECT_DOUBLE_EQ(StrToFloat(".5"), 0.5);
    EXPECT_DOUBLE_EQ(StrToFloat("5."), 5.0);
    EXPECT_DOUBLE_EQ(StrToFloat("1E3"), 1000.0);
    EXPECT_DOUBLE_EQ(StrToFloat("1.5e-2"), 0.015);
    EXPECT_DOUBLE_EQ(StrToFloat("2E+2"), 200.0);
    EXPECT_EQ(StrToFloat("1e-400"), 0.0); // underflow is zero
    EXPECT_TRUE(std::isinf(StrToFloat("INF")));
    try {
        StrToFloat("1,5");
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'1,5' is not a valid floating point value");
    }
    for (std::string_view bad :
         {"", " ", ".", "-", "e5", "1e", "1e+", "1.2.3", "1x", "0x10", "1e400", "- 1", "1 000"}) {
        double v = 7;
        EXPECT_FALSE(TryStrToFloat(bad, v)) << bad;
        EXPECT_EQ(v, 7) << bad;
        EXPECT_EQ(StrToFloatDef(bad, 9.5), 9.5) << bad;
    }
    // Every double survives FloatToStr -> StrToFloat to 15 digits.
    for (double d : {0.1, 1.0 / 7.0, 123456.789, 6.02214076e23, -2.5e-300}) {
        double back = StrToFloat(FloatToStr(d));
        EXPECT_NEAR(back, d, std::fabs(d) * 1e-14) << d;
    }

    TFormatSettings saved = FormatSettings();
    FormatSettings().DecimalSeparator = ',';
    EXPECT_DOUBLE_EQ(StrToFloat("1,5"), 1.5);
    double v;
    EXPECT_FALSE(TryStrToFloat("1.5", v));
    EXPECT_EQ(FloatToStr(0.75), "0,75");
    FormatSettings() = saved;
}

TEST(BoolToStr, BothForms) {
    EXPECT_EQ(BoolToStr(true, true), "True");
    EXPECT_EQ(BoolToStr(false, true), "False");
    EXPECT_EQ(BoolToStr(true), "-1");
    EXPECT_EQ(BoolToStr(false), "0");
}
