#include "cli/ExtendedText.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kova {

namespace {

constexpr std::string_view kEncodingPrefix = "x80:";
constexpr int kMaxDigits = 21; // enough for every 64-bit significand

// The whole text as a long double, or nothing when any of it is left over.
std::optional<Extended> parseWhole(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const Extended value = std::strtold(text.c_str(), &end);
    if (end != text.c_str() + text.size())
        return std::nullopt;
    return value;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The value rounded to `digits` significant digits in "%Le" form, when that
// reads back to the same bits.
bool scientificText(Extended value, int digits, char (&buffer)[64]) {
    std::snprintf(buffer, sizeof buffer, "%.*Le", digits - 1, value);
    const std::optional<Extended> back = parseWhole(buffer);
    return back && SameBits(*back, value);
}

} // namespace

std::string ExactDecimalText(Extended value) {
    if (value == 0)
        return std::signbit(value) ? "-0.0" : "0";
    // "%Le" writes the infinities as "inf", which strtold reads back; they are
    // named rather than decimal.
    if (!std::isfinite(value))
        return {};
    // `shortest` holds the shortest text found so far that reads back.
    char shortest[64];
    if (!scientificText(value, kMaxDigits, shortest))
        return {};
    // Rounding to more digits never moves further from the value (a p-digit
    // number is a (p+1)-digit number too), so the digit count is bisected.
    // Only next to a power of two, where the values that read back lie closer
    // below than above, can this miss a shorter text; the text found is exact
    // all the same, since `high` always reads back.
    int low = 1;
    int high = kMaxDigits;
    char buffer[64];
    while (low < high) {
        const int middle = (low + high) / 2;
        if (scientificText(value, middle, buffer)) {
            high = middle;
            std::memcpy(shortest, buffer, sizeof buffer);
        } else {
            low = middle + 1;
        }
    }
    // Whole numbers up to 21 digits read better without an exponent ("400"
    // rather than "4e+02").
    const int exponent = std::atoi(std::strchr(shortest, 'e') + 1);
    const int precision = exponent >= low && exponent < kMaxDigits ? exponent + 1 : low;
    char general[64];
    std::snprintf(general, sizeof general, "%.*Lg", precision, value);
    // With as many digits as `shortest`, the text is the same number.
    if (precision == low)
        return general;
    const std::optional<Extended> back = parseWhole(general);
    return back && SameBits(*back, value) ? general : shortest;
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
    static const char* const hex = "0123456789abcdef";
    text = kEncodingPrefix;
    for (const std::uint8_t byte : EncodeExtended(value)) {
        text += hex[byte >> 4];
        text += hex[byte & 15];
    }
    return text;
}

std::optional<Extended> ParseExactText(std::string_view text) {
    if (text.substr(0, kEncodingPrefix.size()) == kEncodingPrefix) {
        const std::string_view digits = text.substr(kEncodingPrefix.size());
        ExtendedBytes bytes{};
        if (digits.size() != 2 * bytes.size())
            return std::nullopt;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const int high = hexDigit(digits[2 * i]);
            const int low = hexDigit(digits[2 * i + 1]);
            if (high < 0 || low < 0)
                return std::nullopt;
            bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
        }
        return DecodeExtended(bytes);
    }
    // strtold skips leading blanks; a number in a scene or trace has none.
    if (text.empty() || text.front() == ' ' || text.front() == '\t' || text.front() == '\n')
        return std::nullopt;
    return parseWhole(std::string(text));
}

} // namespace kova
