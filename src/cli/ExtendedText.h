#pragma once

#include "foundations/Extended.h"

#include <optional>
#include <string>
#include <string_view>

namespace kova {

// Text forms of 80-bit values that read back to the very same bits, for the
// scene files and traces of kova-cli.

// A decimal text of at most 21 significant digits that reads back (strtold)
// to the same 80-bit value, as short as can be found: "0.1" for 0.1L, "400"
// for 400, "-0.0" for negative zero. Empty for values no decimal text
// reproduces: NaN, the infinities and encodings the arithmetic never produces.
std::string ExactDecimalText(Extended value);

// Whether ExactDecimalText has a text for the value, told from its encoding
// alone: every finite value the arithmetic produces has one.
bool HasExactDecimalText(Extended value);

// ExactDecimalText where it exists; otherwise "inf", "-inf", "nan" or "-nan"
// when that name reads back to the same bits, and for anything else "x80:"
// followed by the ten bytes of the file encoding in hexadecimal.
std::string ExactText(Extended value);

// Reads what ExactText writes, and any other complete decimal text. Nothing
// for text that is not entirely a number.
std::optional<Extended> ParseExactText(std::string_view text);

} // namespace kova
