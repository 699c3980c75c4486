#include "core/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace kalvora {
namespace {

TEST(ParseFloat, AcceptsDecimalAndExponentForms) {
    EXPECT_EQ(ParseFloat("0.25"), 0.25L);
    EXPECT_EQ(ParseFloat("-3"), -3.0L);
    EXPECT_EQ(ParseFloat("+.5"), 0.5L);
    EXPECT_EQ(ParseFloat("2."), 2.0L);
    EXPECT_EQ(ParseFloat("1e-3"), 1e-3L);
    EXPECT_EQ(ParseFloat("  7.5E+2 "), 750.0L);
    EXPECT_EQ(ParseFloat("0.1"), 0.1L);  // the long double nearest, not a rounded double
    EXPECT_EQ(ParseFloat("1e400"), 1e400L);
}

TEST(ParseFloat, RejectsWithTheConversionMessage) {
    for (const char* text :
         {"", "abc", "1,5", "1e", "--1", "0x10", "inf", "nan", "1.2.3", "e5", "1e99999"}) {
        try {
            ParseFloat(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const ConversionError& error) {
            EXPECT_EQ(error.what(),
                      "'" + std::string(text) + "' is not a valid floating point value");
        }
    }
}

TEST(ParseFloat, IgnoresTheLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no German locale installed";
    }
    EXPECT_EQ(ParseFloat("0.5"), 0.5L);
    EXPECT_EQ(FormatGeneral(0.5L, 15), "0.5");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ParseInteger, ReadsSignedThirtyTwoBitValues) {
    EXPECT_EQ(ParseInteger("42"), 42);
    EXPECT_EQ(ParseInteger("-7"), -7);
    EXPECT_EQ(ParseInteger("+7"), 7);
    EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
    for (const char* text : {"", "1.5", "2147483648", "12a", "+-3", "+", " "}) {
        try {
            ParseInteger(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const ConversionError& error) {
            EXPECT_EQ(error.what(), "'" + std::string(text) + "' is not a valid integer value");
        }
    }
}

TEST(FormatGeneral, FixedUnlessTooManyDigitsOrTooSmall) {
    EXPECT_EQ(FormatGeneral(0.25L, 15), "0.25");
    EXPECT_EQ(FormatGeneral(0.1L, 15), "0.1");
    EXPECT_EQ(FormatGeneral(100, 15), "100");
    EXPECT_EQ(FormatGeneral(-1.5L, 15), "-1.5");
    EXPECT_EQ(FormatGeneral(0, 15), "0");
    EXPECT_EQ(FormatGeneral(12345678, 7), "1.234568E7");
    EXPECT_EQ(FormatGeneral(1234567, 7), "1234567");
    EXPECT_EQ(FormatGeneral(0.00005L, 7), "5E-5");
    EXPECT_EQ(FormatGeneral(0.0001L, 7), "0.0001");
    EXPECT_EQ(FormatGeneral(1e15L, 15), "1E15");
    EXPECT_EQ(FormatGeneral(-2.5e-7L, 15), "-2.5E-7");
    EXPECT_EQ(FormatGeneral(0.00005L, 7, 3), "5E-005");
    EXPECT_EQ(FormatGeneral(2.0L / 3, 7), "0.6666667");
    EXPECT_EQ(FormatGeneral(9.9999999L, 7), "10");
}

TEST(FormatGeneral, FifteenDigitsRoundTripDecimalInputs) {
    for (const char* text : {"0.25", "1.4", "0.3", "28", "2.6666666666667", "-0.001", "1E-10"}) {
        EXPECT_EQ(FormatGeneral(ParseFloat(text), 15), text);
    }
}

TEST(FormatFixed, RoundsOnceThenPadsTheDecimals) {
    struct Case {
        Extended value;
        int digits;
        int decimals;
        const char* expected;
    };
    const Case cases[] = {
        {0.123456789L, 7, 6, "0.123457"},
        {123.456789L, 7, 6, "123.456800"},
        {0.9225L, 7, 6, "0.922500"},
        {1.2909944487358056L, 7, 6, "1.290994"},
        {0, 7, 6, "0.000000"},
        {-2.5L, 7, 6, "-2.500000"},
        {-0.0000001L, 7, 6, "0.000000"},  // no "-0.000000"
        {1234567.4L, 7, 6, "1234567.000000"},
        {12345678, 7, 6, "1.234568E7"},  // more than 7 integer digits
        {9999999.6L, 7, 6, "1E7"},       // rounds up into the exponent form
        {0.000012345L, 7, 6, "0.000012"},
        {0.0625L, 2, 2, "0.06"},  // histogram frequencies
        {0.5L, 2, 2, "0.50"},
        {0.257L, 2, 2, "0.26"},
        {2.5L, 3, 3, "2.500"},  // histogram abscissae
        {-0.12345L, 3, 3, "-0.123"},
        {999.4L, 3, 3, "999.000"},
        {1234, 3, 3, "1.23E3"},  // exponent form from 1000 on
        {999.7L, 3, 3, "1E3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatFixed(c.value, c.digits, c.decimals), c.expected)
            << static_cast<double>(c.value) << " " << c.digits << " " << c.decimals;
    }
    EXPECT_EQ(FormatFixed(std::numeric_limits<Extended>::quiet_NaN(), 7, 6), "NAN");
}

TEST(FormatDataValue, TenDecimalsLargeValuesAndNonFinite) {
    EXPECT_EQ(FormatDataValue(0.25), "0.2500000000");
    EXPECT_EQ(FormatDataValue(-1), "-1.0000000000");
    EXPECT_EQ(FormatDataValue(0), "0.0000000000");
    EXPECT_EQ(FormatDataValue(-0.0), "0.0000000000");
    EXPECT_EQ(FormatDataValue(123456.5), "123456.5000000000");
    EXPECT_EQ(FormatDataValue(1.5e40), " 1.5E+0040");
    EXPECT_EQ(FormatDataValue(1e40), " 1.0E+0040");
    EXPECT_EQ(FormatDataValue(-2e36), "-2.0E+0036");
    EXPECT_EQ(FormatDataValue(std::numeric_limits<double>::quiet_NaN()), "Nan");
    EXPECT_EQ(FormatDataValue(std::numeric_limits<double>::infinity()), "+Inf");
    EXPECT_EQ(FormatDataValue(-std::numeric_limits<double>::infinity()), "-Inf");
}

TEST(FormatOrbitValue, TwentyThreeCharacterScientific) {
    EXPECT_EQ(FormatOrbitValue(0.25L), " 2.50000000000000E-0001");
    EXPECT_EQ(FormatOrbitValue(-0.125L), "-1.25000000000000E-0001");
    EXPECT_EQ(FormatOrbitValue(1), " 1.00000000000000E+0000");
    EXPECT_EQ(FormatOrbitValue(0), " 0.00000000000000E+0000");
    EXPECT_EQ(FormatOrbitValue(-0.0L), " 0.00000000000000E+0000");
    EXPECT_EQ(FormatOrbitValue(1e-4000L), " 1.00000000000000E-4000");
    EXPECT_EQ(FormatOrbitValue(std::numeric_limits<Extended>::infinity()),
              "                   +Inf");
    EXPECT_EQ(FormatOrbitValue(std::numeric_limits<Extended>::quiet_NaN()),
              "                    Nan");
    for (Extended v : {0.25L, -3.0L, 1e300L, 7e-20L}) {
        EXPECT_EQ(FormatOrbitValue(v).size(), 23u);
    }
}

}  // namespace
}  // namespace kalvora
