#include "foundations/Extended.h"

#include <cstring>

namespace kova {

ExtendedBytes EncodeExtended(Extended value) {
    // On x86-64 the first ten bytes of a long double are the x87 register
    // image; the remaining six are padding with unspecified contents.
    ExtendedBytes bytes{};
    std::memcpy(bytes.data(), &value, bytes.size());
    return bytes;
}

Extended DecodeExtended(const ExtendedBytes& bytes) {
    Extended value = 0;
    std::memcpy(&value, bytes.data(), bytes.size());
    return value;
}

} // namespace kova
