#pragma once

#include "foundations/Extended.h"

#include <string>

namespace kova {

// The general floating-point format of files and size displays. The value is
// first rounded to 15 significant digits; the rounded value then decides the
// notation. Fixed notation for 0 and for magnitudes from 0.0001 up to (not
// including) 10^15, without trailing zeros and without a separator for whole
// numbers: 0.0001, 12.5, -3, 0. Scientific notation otherwise: one digit, the
// separator and further digits only if there are any, "E", "-" only for a
// negative exponent, no leading zeros in the exponent: 1E-5, 1.5E-7, 2E20.
// Negative zero prints as 0; NaN and the infinities print as "NAN", "INF"
// and "-INF".
std::string FormatGeneral(Extended value, char decimalSeparator = '.');

// Fixed notation with exactly `digits` decimals (negative counts as 0), for
// the value edits: 10 with 0 decimals is "10", 0 with 1 decimal is "0.0". At
// most 18 significant digits are taken from the value; further digits are
// zeros. A value that rounds to zero shows no sign. Magnitudes of 10^18 and
// more, which have no room for a fixed form, fall back to the scientific form
// of FormatGeneral with 18 digits. NaN and the infinities as in FormatGeneral.
std::string FormatFixed(Extended value, int digits, char decimalSeparator = '.');

} // namespace kova
