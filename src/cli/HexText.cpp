#include "cli/HexText.h"

namespace kova {

namespace {

int digitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendByte(std::string& text, std::uint8_t byte) {
    static constexpr std::string_view kDigits = "0123456789abcdef";
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
}

} // namespace

std::string HexText(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(2 * bytes.size());
    for (const std::uint8_t byte : bytes)
        appendByte(text, byte);
    return text;
}

std::string HexText(std::string_view bytes) {
    std::string text;
    text.reserve(2 * bytes.size());
    for (const char c : bytes)
        appendByte(text, static_cast<std::uint8_t>(c));
    return text;
}

std::optional<std::string> BytesOfHexText(std::string_view text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = digitValue(text[i]);
        const int low = digitValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

} // namespace kova
