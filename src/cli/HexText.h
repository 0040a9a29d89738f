#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kova {

// Bytes as text that any editor shows and JSON holds: two lower-case
// hexadecimal digits a byte, the high digit first.
std::string HexText(std::span<const std::uint8_t> bytes);
std::string HexText(std::string_view bytes);

// The bytes of a text HexText writes; either case is read. Nothing for text
// of odd length or with any other character.
std::optional<std::string> BytesOfHexText(std::string_view text);

} // namespace kova
