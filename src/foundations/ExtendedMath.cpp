#include "foundations/ExtendedMath.h"

#include <cmath>

namespace kova {

namespace {

// A value carried as the sum of a rounded part and what the rounding left
// out, so that a few operations on it lose no more than the final rounding.
struct TTwoPart {
    Extended High;
    Extended Low;
};

// Fractions from 1/8 up take their arc tangent from the nearest step k / 32;
// below it, the series alone.
constexpr int kSteps = 32;
constexpr int kFirstStep = 4;
constexpr Extended kSmallestStep = static_cast<Extended>(kFirstStep) / kSteps;

// atan(k / 32) for k = kFirstStep ... 32, to about 128 bits.
constexpr TTwoPart kArcTangentOfStep[kSteps - kFirstStep + 1] = {
    {0xf.eadd4d5617b6e33p-7L, -0xd.da19d8305ddc422p-73L},
    {0x9.eb77746331362c3p-6L, 0x8.ec33a4a06c1fd0bp-71L},
    {0xb.dcbda5e72d81134p-6L, 0xf.6169f103938e90fp-71L},
    {0xd.c86ba9493051023p-6L, -0x9.de5a3e34aad0fd8p-74L},
    {0xf.adbafc96406eb15p-6L, 0xd.b8f3debef442fcbp-71L},
    {0x8.c5fad185f8bc131p-5L, -0xd.6e2dd3901df59ccp-71L},
    {0x9.b13b9b83f5e5e6ap-5L, -0xe.9512d9cb6143360p-71L},
    {0xa.9856cca8e6a4edbp-5L, -0xc.c901108104c2e7ep-70L},
    {0xb.7b0ca0f26f78474p-5L, -0xe.ab9bdba460376fap-70L},
    {0xc.59269ca50d92b6ep-5L, -0xb.d1722dc15ebae44p-70L},
    {0xd.327761e611fe5b6p-5L, 0x8.4f92bd2003ce26dp-70L},
    {0xe.06da64a764f7c68p-5L, -0xe.73849a619cd1ff1p-71L},
    {0xe.d63382b0dda7b45p-5L, 0xd.fc88bd978751a07p-70L},
    {0xf.a06e85aa0a0be5cp-5L, 0xc.da478fabb91d984p-70L},
    {0x8.32bf4a6d9867e2ap-4L, 0x9.6d41396c34a2b82p-69L},
    {0x8.92aecdfde9547b5p-4L, 0x9.4478fc472b4afb9p-72L},
    {0x8.f005d5ef7f59f9bp-4L, 0xb.906bc2ccb886e8fp-69L},
    {0x9.4ac72c9847186f6p-4L, 0xc.6279c9fbc5197c8p-71L},
    {0x9.a2f80e671bdda20p-4L, 0x8.44df1c4409fe77ap-69L},
    {0x9.f89fdc4f4b7a1edp-4L, -0xe.96db3761f1fc40cp-73L},
    {0xa.4bc7d1934f70924p-4L, 0xc.d43f9522bed64f7p-71L},
    {0xa.9c7abdc4830f5c9p-4L, -0xd.d2af694830d9814p-69L},
    {0xa.eac4c38b4d8c080p-4L, 0xa.392f179f2903850p-71L},
    {0xb.36b31c91f043691p-4L, 0xb.20282e888c5f274p-69L},
    {0xb.8053e2bc2319e74p-4L, -0xd.3496ab7bd6eef0bp-70L},
    {0xb.c7b5deae98af281p-4L, -0xa.fbb3fe45fc135c0p-70L},
    {0xc.0ce85b8ac526641p-4L, -0xe.c453a7722da0bb6p-69L},
    {0xc.4ffaffabf8fbd55p-4L, -0xe.69785de86c3fbbdp-69L},
    {0xc.90fdaa22168c235p-4L, -0xe.ce675d1fc8f8cbbp-70L},
};
constexpr TTwoPart kTwoPartPi = {0xc.90fdaa22168c235p-2L, -0xe.ce675d1fc8f8cbbp-68L};
constexpr TTwoPart kTwoPartHalfPi = {0xc.90fdaa22168c235p-3L, -0xe.ce675d1fc8f8cbbp-69L};

// The series of atan(u) - u, from the term in u^21 down to the one in u^3:
// (-1)^n / (2n + 1) for n = 10 ... 1.
constexpr Extended kSeriesCoefficients[] = {1.0L / 21, -1.0L / 19, 1.0L / 17, -1.0L / 15,
                                            1.0L / 13, -1.0L / 11, 1.0L / 9,  -1.0L / 7,
                                            1.0L / 5,  -1.0L / 3};

// atan(u) - u for |u| <= 1/8, to well below the last place of atan(u).
Extended arcTangentBeyondFirstTerm(Extended u) {
    const Extended z = u * u;
    Extended sum = 0;
    for (const Extended coefficient : kSeriesCoefficients)
        sum = coefficient + z * sum;
    return u * (z * sum);
}

// The quotient a / b (0 < a <= b) and what its rounding left out, found
// from the exact remainder a - q b (Dekker's product); left as 0 where the
// splitting of the operands could overflow or underflow.
TTwoPart quotient(Extended a, Extended b) {
    const Extended q = a / b;
    constexpr Extended kSmallest = 0x1p-8000L;
    constexpr Extended kLargest = 0x1p8000L;
    if (!(a > kSmallest && b < kLargest))
        return {q, 0};
    // Splits a value into two halves of 32 bits each.
    const auto split = [](Extended v) {
        constexpr Extended kSplitter = 0x1p32L + 1;
        const Extended scaled = v * kSplitter;
        const Extended high = scaled - (scaled - v);
        return TTwoPart{high, v - high};
    };
    const TTwoPart qs = split(q);
    const TTwoPart bs = split(b);
    const Extended product = q * b;
    const Extended productLow =
        ((qs.High * bs.High - product) + qs.High * bs.Low + qs.Low * bs.High) + qs.Low * bs.Low;
    const Extended remainder = (a - product) - productLow;
    return {q, remainder / b};
}

// atan(t) for t = t.High + t.Low from 0 to 1. Below the smallest step it is
// t's series; beyond it, the value at the nearest step c plus
// atan((t - c) / (1 + t c)), which is at most 1/64. The small part of t adds
// its share through the derivative 1 / (1 + t^2).
TTwoPart arcTangentOfFraction(const TTwoPart& t) {
    const Extended lowShare = t.Low / (1 + t.High * t.High);
    if (t.High < kSmallestStep)
        return {t.High, arcTangentBeyondFirstTerm(t.High) + lowShare};
    const int step = static_cast<int>(t.High * kSteps + 0.5L);
    const Extended c = static_cast<Extended>(step) / kSteps;
    const Extended u = (t.High - c) / (1 + t.High * c);
    const TTwoPart& base = kArcTangentOfStep[step - kFirstStep];
    return {base.High, base.Low + (u + (arcTangentBeyondFirstTerm(u) + lowShare))};
}

// a - s, for a two-part a at least as large as s.
TTwoPart difference(const TTwoPart& a, const TTwoPart& s) {
    const Extended high = a.High - s.High;
    const Extended roundedOff = (a.High - high) - s.High;
    return {high, roundedOff + (a.Low - s.Low)};
}

} // namespace

Extended ArcTangent2(Extended y, Extended x) {
    if (std::isnan(y) || std::isnan(x))
        return y + x;
    const Extended ay = fabsl(y);
    const Extended ax = fabsl(x);
    // The angle of (|x|, |y|), from 0 to pi/2.
    TTwoPart angle{};
    if (std::isinf(ay) && std::isinf(ax))
        angle = {kPi / 4, 0};
    else if (ay == 0 || std::isinf(ax))
        angle = {0, 0};
    else if (ax == 0 || std::isinf(ay))
        angle = kTwoPartHalfPi;
    else if (ay <= ax)
        angle = arcTangentOfFraction(quotient(ay, ax));
    else
        angle = difference(kTwoPartHalfPi, arcTangentOfFraction(quotient(ax, ay)));
    if (std::signbit(x))
        angle = difference(kTwoPartPi, angle);
    const Extended result = angle.High + angle.Low;
    return std::signbit(y) ? -result : result;
}

} // namespace kova
