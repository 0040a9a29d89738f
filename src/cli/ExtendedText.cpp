#include "cli/ExtendedText.h"

#include "cli/HexText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kova {

namespace {

constexpr std::string_view kEncodingPrefix = "x80:";
constexpr int kMaxDigits = 21; // enough for every 64-bit significand

// The whole text as a long double, or nothing when any of it is left over.
std::optional<Extended> parseWhole(const char* text, std::size_t length) {
    if (length == 0)
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const Extended value = std::strtold(text, &end);
    if (end != text + length)
        return std::nullopt;
    return value;
}

std::optional<Extended> parseWhole(const std::string& text) {
    return parseWhole(text.c_str(), text.size());
}

std::optional<Extended> parseWhole(const char* text) {
    return parseWhole(text, std::strlen(text));
}

// The fields of a value's 80-bit encoding: the significand with its
// explicit integer bit on top, and the biased exponent.
struct TEncodedFields {
    std::uint64_t Significand;
    int BiasedExponent;
    bool IntegerBit() const { return Significand >> 63 != 0; }
};

TEncodedFields encodedFields(Extended value) {
    const ExtendedBytes bytes = EncodeExtended(value);
    std::uint64_t significand = 0;
    std::memcpy(&significand, bytes.data(), sizeof significand);
    return {significand, (bytes[8] | bytes[9] << 8) & 0x7fff};
}

// Writes a value rounded to any number of significant digits, as printf's
// "%.*Le" and "%.*Lg" write it. The decimal digits of every value from 2^-61
// up to 2^64 (and of values with fewer significant bits a little beyond) are
// worked out once, exactly, and rounded from there as printf rounds them (to
// nearest, ties to even), in a fraction of printf's time; printf writes the
// others.
class TDecimalWriter {
public:
    explicit TDecimalWriter(Extended value) : value_(value) { exact_ = expand(); }

    // "%.*Le" with digits - 1 digits after the point.
    void WriteScientific(int digits, char (&buffer)[64]) const {
        if (!exact_) {
            std::snprintf(buffer, sizeof buffer, "%.*Le", digits - 1, value_);
            return;
        }
        char rounded[kMaxDigits];
        const int exponent = round(digits, rounded);
        char* out = writeSign(buffer);
        out = writeDigits(out, rounded, 1, digits - 1);
        writeExponent(out, exponent);
    }

    // "%.*Lg": in fixed notation unless the exponent is below -4 or not below
    // the digit count, without trailing zeros after the point.
    void WriteGeneral(int digits, char (&buffer)[64]) const {
        if (!exact_) {
            std::snprintf(buffer, sizeof buffer, "%.*Lg", digits, value_);
            return;
        }
        char rounded[kMaxDigits];
        const int exponent = round(digits, rounded);
        int kept = digits;
        while (kept > 1 && rounded[kept - 1] == '0')
            --kept;
        char* out = writeSign(buffer);
        if (exponent < -4 || exponent >= digits) {
            out = writeDigits(out, rounded, 1, kept - 1);
            writeExponent(out, exponent);
            return;
        }
        if (exponent < 0) {
            *out++ = '0';
            *out++ = '.';
            for (int zero = -1; zero > exponent; --zero)
                *out++ = '0';
            out = std::copy(rounded, rounded + kept, out);
        } else {
            out = writeDigits(out, rounded, exponent + 1, std::max(kept - exponent - 1, 0));
        }
        *out = '\0';
    }

    // Whether the value rounded to `digits` digits reads back as the value,
    // decided from the exact digits when the rounded number's distance from
    // the value is clearly below or beyond half the gap to the value's
    // neighbour on that side. Nothing when it is too near to tell, or the
    // digits are not known: the text must then be read back.
    std::optional<bool> ReadsBack(int digits) const {
        if (!exact_)
            return std::nullopt;
        if (count_ <= digits)
            return true; // the text is the value itself
        const bool up = roundsUp(digits);
        // The distance's leading digits: the digits dropped, or, rounded up,
        // their complement to a unit in the last digit kept (9 - d for each,
        // 10 - d for the last, which is never a zero).
        const int last = count_ - 1;
        int i = digits;
        while (i < last && digits_[i] == (up ? '9' : '0'))
            ++i;
        const int end = std::min(count_, i + kLeadingDistanceDigits);
        std::uint64_t leading = 0;
        if (up) {
            for (; i < end; ++i)
                leading = leading * 10 + static_cast<std::uint64_t>('9' - digits_[i]);
            leading += end == count_;
        } else {
            for (; i < end; ++i)
                leading = leading * 10 + static_cast<std::uint64_t>(digits_[i] - '0');
        }
        // The digit at i has the place value 10^(exponent_ - i).
        const Extended distance = leading * powerOfTen(exponent_ - i + 1);
        // Below a power of two the neighbour lies half as far.
        const Extended half = !up && significand_ == 1 ? halfGap_ / 2 : halfGap_;
        if (distance < half * (1 - kVerdictMargin))
            return true;
        if (distance > half * (1 + kVerdictMargin))
            return false;
        return std::nullopt;
    }

private:
    // The most significant digits of m 2^p for m < 2^64 and -125 < p < 64.
    static constexpr int kMostExactDigits = 160;
    // The distance is worked out from this many of its leading digits, and
    // is then off by less than 1e-16 of itself, powers of ten included; a
    // verdict is given only where that cannot change it.
    static constexpr int kLeadingDistanceDigits = 19;
    static constexpr Extended kVerdictMargin = 1e-9L;
    // The fraction's digits are worked out up to this many at a time.
    static constexpr int kMostGroupDigits = 19;

    // The encoding of 2^(biased - 16383).
    static ExtendedBytes encodedPowerOfTwo(int biased) {
        ExtendedBytes bytes{};
        bytes[7] = 0x80;
        bytes[8] = static_cast<std::uint8_t>(biased & 0xff);
        bytes[9] = static_cast<std::uint8_t>(biased >> 8);
        return bytes;
    }

    // 10^k for the place values of the exact digits, -200 <= k <= 40.
    static Extended powerOfTen(int k) {
        static constexpr int kLowest = -200;
        static constexpr int kHighest = 40;
        static const auto powers = [] {
            std::array<Extended, kHighest - kLowest + 1> table{};
            for (int j = kLowest; j <= kHighest; ++j)
                table[static_cast<std::size_t>(j - kLowest)] = std::pow(10.0L, j);
            return table;
        }();
        return powers[static_cast<std::size_t>(k - kLowest)];
    }

    // Captures the significant digits of the value's exact expansion (its
    // trailing zeros dropped) and the exponent of the first. The value is
    // m 2^p with m odd; its digits are worked out in 128-bit integers, which
    // hold m 2^p for p < 64 and, for p > -125, its fraction times ten or a
    // higher power of ten.
    bool expand() {
        const TEncodedFields fields = encodedFields(value_);
        const std::uint64_t bits = fields.Significand;
        const int biased = fields.BiasedExponent;
        // Normal encodings only (the integer bit set, the exponent neither
        // zero nor all ones): this turns away the encodings the arithmetic
        // never produces, and values far out of range.
        if (biased == 0 || biased == 0x7fff || !fields.IntegerBit())
            return false;
        // The value is bits 2^(biased - 16383 - 63).
        const int zeros = std::countr_zero(bits);
        const std::uint64_t significand = bits >> zeros;
        const int power = biased - 16383 - 63 + zeros;
        if (power > 63 || power < -124)
            return false;
        significand_ = significand;
        // 2^(biased - 16383 - 64), the last bit's half.
        halfGap_ = DecodeExtended(encodedPowerOfTwo(biased - 64));
        __extension__ using TWide = unsigned __int128;
        const int shift = power < 0 ? -power : 0;
        const TWide mask = (TWide{1} << shift) - 1;
        TWide whole =
            power < 0 ? (shift < 64 ? significand >> shift : 0) : TWide{significand} << power;
        TWide rest = power < 0 ? TWide{significand} & mask : 0;
        count_ = 0;
        exponent_ = -1;
        char reversed[40];
        int wholeDigits = 0;
        for (; whole > std::numeric_limits<std::uint64_t>::max(); whole /= 10)
            reversed[wholeDigits++] = static_cast<char>('0' + static_cast<int>(whole % 10));
        for (auto small = static_cast<std::uint64_t>(whole); small != 0; small /= 10)
            reversed[wholeDigits++] = static_cast<char>('0' + small % 10);
        while (wholeDigits > 0)
            digits_[count_++] = reversed[--wholeDigits];
        exponent_ += count_;
        // The fraction's digits, as many at a time as the product with the
        // rest, below 2^shift, leaves room for in 128 bits (3/10 < log10 2).
        const int groupDigits = std::min(kMostGroupDigits, (128 - shift) * 3 / 10);
        std::uint64_t groupScale = 1;
        for (int k = 0; k < groupDigits; ++k)
            groupScale *= 10;
        while (rest != 0) {
            rest *= groupScale;
            auto group = static_cast<std::uint64_t>(rest >> shift);
            rest &= mask;
            char groupText[kMostGroupDigits];
            for (int k = groupDigits - 1; k >= 0; --k, group /= 10)
                groupText[k] = static_cast<char>('0' + group % 10);
            for (int k = 0; k < groupDigits; ++k) {
                if (count_ == 0 && groupText[k] == '0')
                    --exponent_;
                else
                    digits_[count_++] = groupText[k];
            }
        }
        while (count_ > 1 && digits_[count_ - 1] == '0')
            --count_;
        return true;
    }

    // Whether rounding the exact digits to `digits` of them goes up: beyond
    // half way, or half way with an odd last digit kept.
    bool roundsUp(int digits) const {
        const char next = digits_[digits];
        if (next != '5')
            return next > '5';
        return count_ > digits + 1 || (digits_[digits - 1] - '0') % 2 != 0;
    }

    // The exact digits rounded to `digits` of them; returns the exponent of
    // the first.
    int round(int digits, char (&rounded)[kMaxDigits]) const {
        int exponent = exponent_;
        std::memset(rounded, '0', static_cast<std::size_t>(digits));
        std::memcpy(rounded, digits_, static_cast<std::size_t>(std::min(count_, digits)));
        if (count_ > digits && roundsUp(digits)) {
            int i = digits - 1;
            while (i >= 0 && rounded[i] == '9')
                rounded[i--] = '0';
            if (i >= 0) {
                ++rounded[i];
            } else {
                rounded[0] = '1';
                ++exponent;
            }
        }
        return exponent;
    }

    char* writeSign(char* out) const {
        if (std::signbit(value_))
            *out++ = '-';
        return out;
    }

    // `whole` digits, and a point followed by `fraction` more when there are
    // any.
    static char* writeDigits(char* out, const char* digits, int whole, int fraction) {
        out = std::copy(digits, digits + whole, out);
        if (fraction > 0) {
            *out++ = '.';
            out = std::copy(digits + whole, digits + whole + fraction, out);
        }
        return out;
    }

    // "e", the sign and at least two digits.
    static void writeExponent(char* out, int exponent) {
        *out++ = 'e';
        *out++ = exponent < 0 ? '-' : '+';
        const int magnitude = std::abs(exponent);
        if (magnitude < 10)
            *out++ = '0';
        out = std::to_chars(out, out + 8, magnitude).ptr;
        *out = '\0';
    }

    Extended value_;
    bool exact_ = false;
    char digits_[kMostExactDigits + 1] = {};
    int count_ = 0;
    int exponent_ = 0;
    // The value is significand_ 2^p with significand_ odd; halfGap_ is half
    // the gap to its neighbour above.
    std::uint64_t significand_ = 0;
    Extended halfGap_ = 0;
};

// Whether the value rounded to `digits` significant digits reads back to the
// same bits.
bool readsBack(const TDecimalWriter& writer, Extended value, int digits) {
    if (const std::optional<bool> known = writer.ReadsBack(digits))
        return *known;
    char text[64];
    writer.WriteScientific(digits, text);
    const std::optional<Extended> back = parseWhole(text);
    return back && SameBits(*back, value);
}

} // namespace

bool HasExactDecimalText(Extended value) {
    // "%Le" writes the infinities as "inf", which strtold reads back; they are
    // named rather than decimal.
    if (!std::isfinite(value))
        return false;
    // strtold reads every number as its nearest value in the canonical
    // encoding: the integer bit set, or clear with the exponent zero (zero and
    // the denormals). Any such value rounded to 21 digits reads back to
    // itself; no text reads back to the unnormals and pseudo-denormals.
    const TEncodedFields fields = encodedFields(value);
    return fields.IntegerBit() != (fields.BiasedExponent == 0);
}

std::string ExactDecimalText(Extended value) {
    if (!HasExactDecimalText(value))
        return {};
    if (value == 0)
        return std::signbit(value) ? "-0.0" : "0";
    const TDecimalWriter writer(value);
    // Only a strtold that misreads its own precision could fail here.
    if (!readsBack(writer, value, kMaxDigits))
        return {};
    // Rounding to more digits never moves further from the value (a p-digit
    // number is a (p+1)-digit number too), so the digit count is bisected.
    // Only next to a power of two, where the values that read back lie closer
    // below than above, can this miss a shorter text; the text found is exact
    // all the same, since `high` always reads back.
    int low = 1;
    int high = kMaxDigits;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (readsBack(writer, value, middle))
            high = middle;
        else
            low = middle + 1;
    }
    char shortest[64];
    writer.WriteScientific(low, shortest);
    // Whole numbers up to 21 digits read better without an exponent ("400"
    // rather than "4e+02").
    const int exponent = std::atoi(std::strchr(shortest, 'e') + 1);
    const int precision = exponent >= low && exponent < kMaxDigits ? exponent + 1 : low;
    // The same number as the scientific text with as many digits.
    if (precision != low && !readsBack(writer, value, precision))
        return shortest;
    char general[64];
    writer.WriteGeneral(precision, general);
    return general;
}

std::string ExactText(Extended value) {
    std::string text = ExactDecimalText(value);
    if (!text.empty())
        return text;
    for (const char* name : {"inf", "-inf", "nan", "-nan"}) {
        const std::optional<Extended> named = parseWhole(name);
        if (named && SameBits(*named, value))
            return name;
    }
    return std::string(kEncodingPrefix) + HexText(EncodeExtended(value));
}

std::optional<Extended> ParseExactText(std::string_view text) {
    if (text.substr(0, kEncodingPrefix.size()) == kEncodingPrefix) {
        const std::optional<std::string> read = BytesOfHexText(text.substr(kEncodingPrefix.size()));
        ExtendedBytes bytes{};
        if (!read || read->size() != bytes.size())
            return std::nullopt;
        std::copy(read->begin(), read->end(), bytes.begin());
        return DecodeExtended(bytes);
    }
    // strtold skips leading blanks; a number in a scene or trace has none.
    if (text.empty() || text.front() == ' ' || text.front() == '\t' || text.front() == '\n')
        return std::nullopt;
    return parseWhole(std::string(text));
}

} // namespace kova
