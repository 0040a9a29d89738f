#include "foundations/NumberFormat.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kova {

namespace {

constexpr int kGeneralDigits = 15;
constexpr int kFixedDigits = 18;

// A finite non-zero value rounded to a number of significant digits: the
// digits d1 d2 ... stand for d1.d2... * 10^Exponent.
struct DecimalDigits {
    bool Negative = false;
    std::string Digits;
    int Exponent = 0;
};

// The C library rounds the long double itself, correctly and without a detour
// through double, so the digits are exactly those of the 80-bit value. Only
// digits are taken from its text, so the C locale's radix character (which a
// GUI toolkit may have changed) does not matter.
DecimalDigits roundToSignificant(Extended value, int significant) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*Le", significant - 1, value);
    DecimalDigits result;
    const char* p = buffer;
    if (*p == '-') {
        result.Negative = true;
        ++p;
    }
    for (; *p != 'e' && *p != '\0'; ++p)
        if (*p >= '0' && *p <= '9')
            result.Digits += *p;
    if (*p == 'e')
        result.Exponent = static_cast<int>(std::strtol(p + 1, nullptr, 10));
    return result;
}

void stripTrailingZeros(std::string& digits) {
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
}

std::string nonFinite(Extended value) {
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

// Fixed form of the digits; the fraction is padded with zeros to at least
// minDecimals places.
std::string composeFixed(const DecimalDigits& d, char separator, std::size_t minDecimals) {
    std::string out = d.Negative ? "-" : "";
    std::string fraction;
    if (d.Exponent < 0) {
        out += '0';
        fraction.assign(static_cast<std::size_t>(-d.Exponent - 1), '0');
        fraction += d.Digits;
    } else {
        const auto wholeDigits = static_cast<std::size_t>(d.Exponent) + 1;
        if (d.Digits.size() <= wholeDigits) {
            out += d.Digits;
            out.append(wholeDigits - d.Digits.size(), '0');
        } else {
            out.append(d.Digits, 0, wholeDigits);
            fraction = d.Digits.substr(wholeDigits);
        }
    }
    if (fraction.size() < minDecimals)
        fraction.append(minDecimals - fraction.size(), '0');
    if (!fraction.empty()) {
        out += separator;
        out += fraction;
    }
    return out;
}

std::string composeScientific(const DecimalDigits& d, char separator) {
    std::string out = d.Negative ? "-" : "";
    out += d.Digits[0];
    if (d.Digits.size() > 1) {
        out += separator;
        out.append(d.Digits, 1);
    }
    out += 'E';
    out += std::to_string(d.Exponent);
    return out;
}

} // namespace

std::string FormatGeneral(Extended value, char decimalSeparator) {
    if (!std::isfinite(value))
        return nonFinite(value);
    if (value == 0)
        return "0";
    DecimalDigits d = roundToSignificant(value, kGeneralDigits);
    stripTrailingZeros(d.Digits);
    if (d.Exponent >= -4 && d.Exponent < kGeneralDigits)
        return composeFixed(d, decimalSeparator, 0);
    return composeScientific(d, decimalSeparator);
}

std::string FormatFixed(Extended value, int digits, char decimalSeparator) {
    if (!std::isfinite(value))
        return nonFinite(value);
    if (digits < 0)
        digits = 0;
    const auto decimals = static_cast<std::size_t>(digits);
    if (value == 0)
        return composeFixed(DecimalDigits{false, "0", 0}, decimalSeparator, decimals);

    DecimalDigits d = roundToSignificant(value, kFixedDigits);
    if (d.Exponent >= kFixedDigits) {
        stripTrailingZeros(d.Digits);
        return composeScientific(d, decimalSeparator);
    }

    std::string out;
    if (d.Exponent + 1 + digits > kFixedDigits) {
        // More decimals than the 18 significant digits fill: pad with zeros.
        out = composeFixed(d, decimalSeparator, decimals);
    } else {
        // All shown digits are significant ones: one exact rounding to the
        // decimals asked for.
        const int length = std::snprintf(nullptr, 0, "%.*Lf", digits, value);
        out.resize(static_cast<std::size_t>(length) + 1);
        std::snprintf(out.data(), out.size(), "%.*Lf", digits, value);
        out.pop_back();
        // Whatever radix character the C locale uses becomes the separator.
        for (char& c : out)
            if (c != '-' && (c < '0' || c > '9'))
                c = decimalSeparator;
    }
    if (out.front() == '-' && out.find_first_of("123456789") == std::string::npos)
        out.erase(0, 1);
    return out;
}

} // namespace kova
