#include "cli/ExtendedText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace kova {
namespace {

bool SameBits(Extended a, Extended b) {
    return EncodeExtended(a) == EncodeExtended(b);
}

Extended FromBytes(std::initializer_list<std::uint8_t> list) {
    ExtendedBytes bytes{};
    std::copy(list.begin(), list.end(), bytes.begin());
    return DecodeExtended(bytes);
}

TEST(ExtendedText, ReadsBackEveryKindOfFiniteValueBitForBit) {
    const Extended values[] = {
        0.1L,
        1.0L / 3,
        2.0L / 3,
        -1.0L / 3,
        0.1, // a double widened to extended needs more digits than 0.1L
        400,
        1e20L,
        1e-5L,
        kPi,
        std::numeric_limits<Extended>::max(),
        std::numeric_limits<Extended>::min(),
        std::numeric_limits<Extended>::denorm_min(),
        -std::numeric_limits<Extended>::denorm_min(),
        std::nextafter(1.0L, 2.0L),
        std::nextafter(1.0L, 0.0L),
        std::nextafter(1024.0L, 0.0L),
        std::nextafter(0.5L, 1.0L),
    };
    for (const Extended value : values) {
        const std::string text = ExactDecimalText(value);
        ASSERT_TRUE(HasExactDecimalText(value)) << static_cast<double>(value);
        ASSERT_FALSE(text.empty()) << static_cast<double>(value);
        const auto back = ParseExactText(text);
        ASSERT_TRUE(back.has_value()) << text;
        EXPECT_TRUE(SameBits(*back, value)) << text;
    }
}

TEST(ExtendedText, ReadsBackPseudoRandomBitPatterns) {
    // Canonical values across the whole exponent range: explicit integer bit
    // set, any significand, any exponent below the all-ones one.
    std::uint64_t state = 12345;
    auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state;
    };
    for (int i = 0; i < 4000; ++i) {
        const std::uint64_t significand = next() | (1ULL << 63);
        const std::uint16_t exponent = static_cast<std::uint16_t>(1 + next() % 0x7FFE);
        const std::uint16_t sign = static_cast<std::uint16_t>((next() >> 7) & 0x8000);
        ExtendedBytes bytes{};
        for (int b = 0; b < 8; ++b)
            bytes[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(significand >> (8 * b));
        const std::uint16_t top = sign | exponent;
        bytes[8] = static_cast<std::uint8_t>(top);
        bytes[9] = static_cast<std::uint8_t>(top >> 8);
        const Extended value = DecodeExtended(bytes);
        ASSERT_TRUE(HasExactDecimalText(value));
        const std::string text = ExactDecimalText(value);
        const auto back = ParseExactText(text);
        ASSERT_TRUE(back.has_value()) << text;
        ASSERT_TRUE(SameBits(*back, value)) << text;
        // Sign, 21 digits, point, "e-" and four exponent digits at most.
        ASSERT_LE(text.size(), 29U);
    }
}

TEST(ExtendedText, WritesShortReadableDecimals) {
    EXPECT_EQ(ExactDecimalText(0.1L), "0.1");
    EXPECT_EQ(ExactDecimalText(400), "400");
    EXPECT_EQ(ExactDecimalText(-3), "-3");
    EXPECT_EQ(ExactDecimalText(12.5L), "12.5");
    EXPECT_EQ(ExactDecimalText(0), "0");
    // A JSON reader would take "-0" for the integer 0 and lose the sign.
    EXPECT_EQ(ExactDecimalText(-0.0L), "-0.0");
    EXPECT_EQ(ExactDecimalText(1e-5L), "1e-05");
    EXPECT_EQ(ExactDecimalText(1e20L), "100000000000000000000");
    EXPECT_EQ(ExactDecimalText(1.0L / 3), "0.33333333333333333334");
}

// The text printf's own rounding gives: the fewest digits the bisection
// finds that read back, as "%Le", and in "%Lg" form where that reads back too.
std::string printfText(Extended value) {
    const auto print = [value](const char* format, int precision) {
        char text[64];
        std::snprintf(text, sizeof text, format, precision, value);
        return std::string(text);
    };
    const auto readsBack = [value](const std::string& text) {
        const auto back = ParseExactText(text);
        return back && SameBits(*back, value);
    };
    int low = 1;
    int high = 21;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (readsBack(print("%.*Le", middle - 1)))
            high = middle;
        else
            low = middle + 1;
    }
    const std::string scientific = print("%.*Le", low - 1);
    const int exponent = std::atoi(scientific.c_str() + scientific.find('e') + 1);
    const std::string general =
        print("%.*Lg", exponent >= low && exponent < 21 ? exponent + 1 : low);
    return readsBack(general) ? general : scientific;
}

TEST(ExtendedText, FindsTheTextPrintfAndStrtoldFind) {
    // Decimal ties at the 20th digit, nines that carry, the ends of the range
    // written out without printf, and powers of two, below which the values
    // that read back lie nearer than above.
    std::vector<Extended> values = {4611686018427387903.25L,
                                    4611686018427387903.75L,
                                    0.999999999999999999999L,
                                    99999999999999999999.0L,
                                    0x1p63L,
                                    0x1p-124L};
    std::uint64_t state = 99;
    auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state;
    };
    for (int i = 0; i < 3000; ++i) {
        // Whole significands and those with every bit set, from 2^-124 to 2^63.
        const auto power = static_cast<int>(next() % 188) - 124;
        const std::uint64_t significand = i % 3 == 0 ? next() % 1000 + 1 : next() | (1ULL << 63);
        values.push_back(std::ldexp(static_cast<Extended>(significand), power - 63 * (i % 3 != 0)));
        values.push_back(std::nextafter(values.back(), 0.0L));
    }
    for (int power = -124; power < 64; ++power)
        values.push_back(std::ldexp(1.0L, power));
    for (const Extended value : values)
        ASSERT_EQ(ExactDecimalText(value), printfText(value)) << static_cast<double>(value);
}

TEST(ExtendedText, NamesValuesWithoutADecimalForm) {
    const Extended inf = std::numeric_limits<Extended>::infinity();
    const Extended nan = std::numeric_limits<Extended>::quiet_NaN();
    EXPECT_EQ(ExactDecimalText(inf), "");
    EXPECT_EQ(ExactText(inf), "inf");
    EXPECT_EQ(ExactText(-inf), "-inf");
    EXPECT_EQ(ExactText(nan), "nan");
    EXPECT_EQ(ExactText(-nan), "-nan");
    for (const Extended value : {inf, -inf, nan, -nan})
        EXPECT_TRUE(SameBits(*ParseExactText(ExactText(value)), value)) << ExactText(value);
}

TEST(ExtendedText, KeepsEncodingsTheArithmeticNeverMakesAsBytes) {
    // An unnormal (integer bit clear, exponent not zero), a pseudo-denormal
    // and a NaN with a payload: only the bytes themselves reproduce them.
    const Extended unnormal = FromBytes({0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F});
    const Extended pseudoDenormal = FromBytes({1, 0, 0, 0, 0, 0, 0, 0x80, 0, 0});
    const Extended payloadNan = FromBytes({0x34, 0x12, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F});
    EXPECT_EQ(ExactText(unnormal), "x80:0000000000000040ff3f");
    for (const Extended value : {unnormal, pseudoDenormal, payloadNan}) {
        EXPECT_FALSE(HasExactDecimalText(value));
        const std::string text = ExactText(value);
        EXPECT_EQ(text.substr(0, 4), "x80:");
        EXPECT_TRUE(SameBits(*ParseExactText(text), value)) << text;
    }
}

TEST(ExtendedText, RefusesTextThatIsNotEntirelyANumber) {
    for (const char* text :
         {"", " 1", "1.5abc", "abc", "x80:zz00000000000000000000", "x80:0000", "1,5"})
        EXPECT_FALSE(ParseExactText(text).has_value()) << text;
    EXPECT_TRUE(SameBits(*ParseExactText("1e+20"), 1e20L));
}

} // namespace
} // namespace kova
