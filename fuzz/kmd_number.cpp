// Feeds arbitrary 80-bit values to FormatGeneral, the number format of the
// .kmd writer. The first ten bytes are the x87 register image (any bit
// pattern: NaNs, infinities, denormals, pseudo-denormals, unnormals), the low
// bit of the eleventh byte picks the separator ('.' or ','). Checked:
//
// - NaN prints as "NAN", the infinities as "INF" and "-INF", zero of either
//   sign as "0";
// - any other value prints in the documented shape: an optional "-", digits,
//   the separator and further digits without trailing zeros, and either no
//   exponent (fixed notation, for decimal exponents -4 to 14) or "E" with a
//   "-" only for negative exponents and no leading zeros;
// - the text is the value rounded to 15 significant digits, exactly: read
//   back with strtold (after putting '.' for the separator) it gives the same
//   long double as the C library's own 15-digit rounding "%.14Le" read back;
// - formatting the value read back gives the same text again.

#include "foundations/Extended.h"
#include "foundations/NumberFormat.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void fail(const char* what, long double value, const std::string& text) {
    unsigned char bytes[10];
    std::memcpy(bytes, &value, sizeof bytes);
    std::fprintf(stderr, "%s\nvalue bytes:", what);
    for (unsigned char byte : bytes)
        std::fprintf(stderr, " %02x", byte);
    std::fprintf(stderr, "\nvalue: %.21Le\ntext: \"%s\"\n", value, text.c_str());
    std::abort();
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the text has the shape of a finite non-zero FormatGeneral result;
// the decimal exponent the digits stand for goes to `exponent`.
bool wellFormed(const std::string& text, char separator, int& exponent) {
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-')
        ++i;
    const std::size_t wholeStart = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    const std::size_t wholeDigits = i - wholeStart;
    if (wholeDigits == 0 || (wholeDigits > 1 && text[wholeStart] == '0'))
        return false;
    std::size_t fractionDigits = 0;
    if (i < text.size() && text[i] == separator) {
        ++i;
        const std::size_t fractionStart = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        fractionDigits = i - fractionStart;
        if (fractionDigits == 0 || text[i - 1] == '0')
            return false;
    }
    if (i == text.size()) {
        // Fixed notation: find the first significant digit.
        const std::size_t first = text.find_first_of("123456789", wholeStart);
        if (first == std::string::npos)
            return false;
        const std::size_t point = wholeStart + wholeDigits;
        exponent =
            first < point ? static_cast<int>(point - first) - 1 : -static_cast<int>(first - point);
        return true;
    }
    // Scientific notation: exactly one non-zero digit before the separator.
    if (wholeDigits != 1 || text[wholeStart] == '0' || text[i] != 'E')
        return false;
    ++i;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    const std::size_t exponentStart = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    if (i != text.size() || i == exponentStart || i - exponentStart > 4 ||
        (text[exponentStart] == '0' && i - exponentStart > 1))
        return false;
    exponent = std::atoi(text.c_str() + exponentStart);
    if (negative)
        exponent = -exponent;
    return true;
}

long double readBack(std::string text, char separator) {
    for (char& c : text)
        if (c == separator)
            c = '.';
    char* end = nullptr;
    const long double value = std::strtold(text.c_str(), &end);
    if (end != text.c_str() + text.size())
        return std::nanl("");
    return value;
}

bool sameBits(long double a, long double b) {
    return std::memcmp(&a, &b, 10) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 10)
        return 0;
    kova::ExtendedBytes bytes{};
    std::memcpy(bytes.data(), data, bytes.size());
    const long double value = kova::DecodeExtended(bytes);
    const char separator = size > 10 && (data[10] & 1) != 0 ? ',' : '.';

    const std::string text = kova::FormatGeneral(value, separator);

    if (std::isnan(value)) {
        if (text != "NAN")
            fail("NaN does not print as NAN", value, text);
        return 0;
    }
    if (std::isinf(value)) {
        if (text != (value < 0 ? "-INF" : "INF"))
            fail("an infinity does not print as INF or -INF", value, text);
        return 0;
    }
    if (value == 0) {
        if (text != "0")
            fail("zero does not print as 0", value, text);
        return 0;
    }

    int exponent = 0;
    if (!wellFormed(text, separator, exponent))
        fail("the text is not in the general format", value, text);
    const bool scientific = text.find('E') != std::string::npos;
    if (scientific == (exponent >= -4 && exponent < 15))
        fail("fixed and scientific notation are chosen against the exponent", value, text);
    if ((text[0] == '-') != (value < 0))
        fail("the text has the wrong sign", value, text);

    char rounded[64];
    std::snprintf(rounded, sizeof rounded, "%.14Le", value);
    const long double expected = std::strtold(rounded, nullptr);
    const long double parsed = readBack(text, separator);
    if (!sameBits(parsed, expected))
        fail("the text is not the value rounded to 15 significant digits", value, text);

    if (kova::FormatGeneral(parsed, separator) != text)
        fail("the value read back formats to another text", value, text);
    return 0;
}
