#include "foundations/ExtendedMath.h"
#include "foundations/SplitExtended.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace kova {
namespace {

// How many units in the last place of `expected` lie between it and `actual`.
Extended unitsApart(Extended actual, Extended expected) {
    const Extended unit = nextafterl(fabsl(expected), INFINITY) - fabsl(expected);
    return fabsl(actual - expected) / unit;
}

TEST(ArcTangent2, EdgesAndQuadrantsAsTheLibraryGivesThem) {
    const Extended inf = std::numeric_limits<Extended>::infinity();
    const Extended cases[][2] = {
        {0.0L, 1},        {-0.0L, 1},    {0.0L, -1},
        {-0.0L, -1},      {0.0L, 0.0L},  {-0.0L, -0.0L},
        {1, 0.0L},        {-1, -0.0L},   {inf, inf},
        {inf, -inf},      {-inf, 1},     {1, inf},
        {-1, -inf},       {1, 1},        {-1, 1},
        {1, -1},          {-1, -1},      {3, -4},
        {1e-4000L, 1},    {1, 1e-4000L}, {1e4000L, 1e-4000L},
        {0x1p-16445L, 1},
    };
    for (const auto& [y, x] : cases) {
        const Extended expected = atan2l(y, x);
        const Extended actual = ArcTangent2(y, x);
        EXPECT_EQ(std::signbit(actual), std::signbit(expected)) << y << ", " << x;
        if (expected == 0)
            EXPECT_EQ(actual, 0) << y << ", " << x;
        else
            EXPECT_LE(unitsApart(actual, expected), 1) << y << ", " << x;
    }
    EXPECT_TRUE(std::isnan(ArcTangent2(std::numeric_limits<Extended>::quiet_NaN(), 1)));
    EXPECT_TRUE(std::isnan(ArcTangent2(1, std::numeric_limits<Extended>::quiet_NaN())));
}

// The library's arc tangent is within a unit of the true value, and so is
// this one: the two can be at most a unit apart where they round
// differently. Both kinds of argument are swept: the cosine and sine of a
// heading, and ratios over a wide range of magnitudes.
TEST(ArcTangent2, WithinAUnitOfTheLibraryEverywhere) {
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_int_distribution<int> exponent(-40, 40);
    for (int i = 0; i < 100000; ++i) {
        Extended y = 0;
        Extended x = 0;
        if (i % 2 == 0) {
            x = unit(random) + unit(random) * 1e-17L;
            x = std::clamp<Extended>(x, -1, 1);
            y = sqrtl(1 - x * x);
        } else {
            y = ldexpl(unit(random), exponent(random));
            x = ldexpl(unit(random), exponent(random));
        }
        ASSERT_LE(unitsApart(ArcTangent2(y, x), atan2l(y, x)), 1) << y << ", " << x;
    }
}

} // namespace
} // namespace kova

namespace kova {
namespace {

TEST(SplitExtended, GivesEveryValueBackThatTwoDoublesHold) {
    const Extended inf = std::numeric_limits<Extended>::infinity();
    const Extended lastBit = ldexpl(1, -63);
    const struct {
        Extended Value;
        bool Exact;
    } cases[] = {
        {1 + lastBit, true},
        {-1 / 3.0L, true},
        {0.0L, true},
        {-0.0L, true},
        {inf, true},
        {-inf, true},
        {1e300L * (1 + lastBit), true},
        {std::numeric_limits<double>::max(), true},
        // Beyond the doubles' range, and NaN.
        {2.0L * std::numeric_limits<double>::max(), false},
        {-1e4000L, false},
        {std::numeric_limits<Extended>::quiet_NaN(), false},
        // Doubles' subnormals: the value itself, and a remainder among them.
        {ldexpl(1, -1070), true},
        {ldexpl(1 + lastBit, -1015), false},
        {ldexpl(1, -1080), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<double>(c.Value));
        TSplitExtended split;
        EXPECT_EQ(SplitExactly(c.Value, split), c.Exact);
        EXPECT_TRUE(SameBits(split.Hi, static_cast<double>(c.Value)) ||
                    (std::isnan(split.Hi) && std::isnan(c.Value)));
        if (c.Exact) {
            EXPECT_TRUE(SameBits(split.Value(), c.Value));
        }
    }
}

} // namespace
} // namespace kova
