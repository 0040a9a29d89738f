#pragma once

#include <array>
#include <cfloat>
#include <cstdint>
#include <cstring>

namespace kova {

// Every physical quantity is an 80-bit x87 extended float, the format the
// simulation file stores byte for byte.
using Extended = long double;

static_assert(LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384,
              "long double must be the x87 80-bit extended format");

inline constexpr Extended kPi = 3.141592653589793238462643383279502884L;

// The file's 10-byte encoding: the 64-bit significand with its explicit
// integer bit in bytes 0-7, then the sign bit and 15-bit biased exponent.
using ExtendedBytes = std::array<std::uint8_t, 10>;

// Inline, as a save and a load encode several of them for every bug.
inline ExtendedBytes EncodeExtended(Extended value) {
    // On x86-64 the first ten bytes of a long double are the x87 register
    // image; the remaining six are padding with unspecified contents.
    ExtendedBytes bytes{};
    std::memcpy(bytes.data(), &value, bytes.size());
    return bytes;
}

inline Extended DecodeExtended(const ExtendedBytes& bytes) {
    Extended value = 0;
    std::memcpy(&value, bytes.data(), bytes.size());
    return value;
}

// Equal bit for bit, as == is not: the signs of zeros count, and a NaN equals
// the same NaN.
inline bool SameBits(Extended a, Extended b) {
    return EncodeExtended(a) == EncodeExtended(b);
}

} // namespace kova

namespace kova {

// Rounds towards zero to a 32-bit integer. Values beyond the 32-bit range
// saturate and NaN gives 0, so damaged data cannot cause undefined behaviour.
inline std::int32_t TruncToInt32(Extended value) {
    if (!(value == value))
        return 0;
    if (value >= 2147483647.0L)
        return 2147483647;
    if (value <= -2147483648.0L)
        return -2147483647 - 1;
    return static_cast<std::int32_t>(value);
}

} // namespace kova
