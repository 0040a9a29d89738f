#include "foundations/NumberFormat.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

namespace kova {
namespace {

struct GeneralCase {
    Extended Value;
    const char* Text;
};

TEST(NumberFormatTest, GeneralFormatChoosesNotationLikeTheFile) {
    const GeneralCase cases[] = {
        {0.0001L, "0.0001"},
        {12.5L, "12.5"},
        {-3, "-3"},
        {0, "0"},
        {-0.0L, "0"},
        {1e-5L, "1E-5"},
        {1.5e-7L, "1.5E-7"},
        {2e20L, "2E20"},
        {1e15L, "1E15"},
        {999999999999999.0L, "999999999999999"},
        {123456789012345678.0L, "1.23456789012346E17"},
        {-0.0001L, "-0.0001"},
        {0.00009L, "9E-5"},
        {-1.5e-7L, "-1.5E-7"},
        {1200, "1200"},
        {1e14L, "100000000000000"},
        {0.5L, "0.5"},
        {0.1L + 0.2L, "0.3"},
        {-273.15L, "-273.15"},
        {1e-4000L, "1E-4000"},
        {LDBL_MAX, "1.18973149535723E4932"},
    };
    for (const GeneralCase& c : cases)
        EXPECT_EQ(FormatGeneral(c.Value), c.Text) << "value " << static_cast<double>(c.Value);
}

TEST(NumberFormatTest, GeneralFormatRoundsBeforeChoosingTheNotation) {
    // Just below the fixed range, but 0.0001 once rounded to 15 digits.
    EXPECT_EQ(FormatGeneral(0.00009999999999999999L), "0.0001");
    EXPECT_EQ(FormatGeneral(-0.00009999999999999999L), "-0.0001");
    // Fifteen nines already are 15 digits: nothing rounds, the value stays
    // below 0.0001.
    EXPECT_EQ(FormatGeneral(0.0000999999999999999L), "9.99999999999999E-5");
    // Just below 10^15, but 10^15 once rounded (the tie rounds to even, up).
    EXPECT_EQ(FormatGeneral(999999999999999.5L), "1E15");
    EXPECT_EQ(FormatGeneral(999999999999999.4L), "999999999999999");
    // Rounding carries through every digit.
    EXPECT_EQ(FormatGeneral(9.9999999999999999L), "10");
    EXPECT_EQ(FormatGeneral(0.12345678901234549L), "0.123456789012345");
}

TEST(NumberFormatTest, GeneralFormatRoundsTheExtendedValueItself) {
    // Below the halfway point as an 80-bit value, above it once converted to
    // the nearest double (1 + 23 * 2^-52): only the first rounds to "1".
    const Extended belowHalf = 1.000000000000004998L;
    ASSERT_NE(static_cast<Extended>(static_cast<double>(belowHalf)), belowHalf);
    EXPECT_EQ(FormatGeneral(belowHalf), "1");
    EXPECT_EQ(FormatGeneral(static_cast<double>(belowHalf)), "1.00000000000001");
    // The smallest subnormal still has 15 digits to show.
    EXPECT_EQ(FormatGeneral(std::numeric_limits<Extended>::denorm_min()), "3.64519953188247E-4951");
}

TEST(NumberFormatTest, GeneralFormatTakesTheDecimalSeparator) {
    EXPECT_EQ(FormatGeneral(12.5L, ','), "12,5");
    EXPECT_EQ(FormatGeneral(-0.0001L, ','), "-0,0001");
    EXPECT_EQ(FormatGeneral(1.5e-7L, ','), "1,5E-7");
    // Whole numbers and exponents have no separator to replace.
    EXPECT_EQ(FormatGeneral(-3, ','), "-3");
    EXPECT_EQ(FormatGeneral(2e20L, ','), "2E20");
}

TEST(NumberFormatTest, NonFiniteValuesHaveNames) {
    EXPECT_EQ(FormatGeneral(std::numeric_limits<Extended>::quiet_NaN()), "NAN");
    EXPECT_EQ(FormatGeneral(std::numeric_limits<Extended>::infinity()), "INF");
    EXPECT_EQ(FormatGeneral(-std::numeric_limits<Extended>::infinity()), "-INF");
    EXPECT_EQ(FormatFixed(std::numeric_limits<Extended>::quiet_NaN(), 2), "NAN");
    EXPECT_EQ(FormatFixed(-std::numeric_limits<Extended>::infinity(), 2), "-INF");
}

TEST(NumberFormatTest, FixedFormatShowsExactlyTheDecimalsAsked) {
    EXPECT_EQ(FormatFixed(10, 0), "10");
    EXPECT_EQ(FormatFixed(0, 1), "0.0");
    EXPECT_EQ(FormatFixed(0, 1, ','), "0,0");
    EXPECT_EQ(FormatFixed(0, 0), "0");
    EXPECT_EQ(FormatFixed(3.14159L, 3), "3.142");
    EXPECT_EQ(FormatFixed(-1.26L, 1, ','), "-1,3");
    EXPECT_EQ(FormatFixed(99999999.9L, 1), "99999999.9");
    EXPECT_EQ(FormatFixed(99999999.96L, 1), "100000000.0");
    EXPECT_EQ(FormatFixed(7, -2), "7");
    // A value that rounds to zero carries no sign, negative zero neither.
    EXPECT_EQ(FormatFixed(-0.04L, 1), "0.0");
    EXPECT_EQ(FormatFixed(-0.0L, 2), "0.00");
    EXPECT_EQ(FormatFixed(-0.06L, 1), "-0.1");
}

TEST(NumberFormatTest, FixedFormatKeepsAtMost18SignificantDigits) {
    // The 80-bit value of 12345.678 lies a little off it; beyond the 18th
    // significant digit only zeros are shown.
    EXPECT_EQ(FormatFixed(12345.678L, 18), "12345.678000000000000000");
    EXPECT_EQ(FormatFixed(-0.1L, 18), "-0.100000000000000000");
    EXPECT_EQ(FormatFixed(1.0L / 3, 18), "0.333333333333333333");
    EXPECT_EQ(FormatFixed(2.0L / 3, 20), "0.66666666666666666700");
    // Too large for a fixed form with 18 digits.
    EXPECT_EQ(FormatFixed(2e20L, 1), "2E20");
}

} // namespace
} // namespace kova
