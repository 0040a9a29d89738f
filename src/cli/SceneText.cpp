#include "cli/SceneText.h"

#include "cli/ExtendedText.h"

#include <cstdio>
#include <type_traits>

namespace kova {

namespace {

constexpr std::size_t kLineWidth = 100;
constexpr int kIndent = 2;

void appendString(std::string& out, const std::string& text) {
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void appendScalar(std::string& out, const TSceneJson& value) {
    switch (value.type()) {
    case TSceneJson::value_t::null:
        out += "null";
        break;
    case TSceneJson::value_t::boolean:
        out += value.get<bool>() ? "true" : "false";
        break;
    case TSceneJson::value_t::number_integer:
        out += std::to_string(value.get<std::int64_t>());
        break;
    case TSceneJson::value_t::number_unsigned:
        out += std::to_string(value.get<std::uint64_t>());
        break;
    case TSceneJson::value_t::number_float: {
        const std::string text = ExactDecimalText(value.get<long double>());
        if (text.empty())
            throw ESceneError("a value without a decimal form cannot be written as a number");
        out += text;
        break;
    }
    case TSceneJson::value_t::string:
        appendString(out, value.get_ref<const std::string&>());
        break;
    default:
        throw ESceneError("unsupported JSON value");
    }
}

void appendCompact(std::string& out, const TSceneJson& value) {
    if (value.is_array()) {
        out += '[';
        bool first = true;
        for (const TSceneJson& item : value) {
            if (!first)
                out += ", ";
            first = false;
            appendCompact(out, item);
        }
        out += ']';
    } else if (value.is_object()) {
        out += '{';
        bool first = true;
        for (const auto& [key, item] : value.items()) {
            if (!first)
                out += ", ";
            first = false;
            appendString(out, key);
            out += ": ";
            appendCompact(out, item);
        }
        out += '}';
    } else {
        appendScalar(out, value);
    }
}

// `column` is where the value starts on its line.
void appendIndented(std::string& out, const TSceneJson& value, int depth, std::size_t column) {
    if (!value.is_array() && !value.is_object()) {
        appendScalar(out, value);
        return;
    }
    std::string compact;
    appendCompact(compact, value);
    if (value.empty() || column + compact.size() <= kLineWidth) {
        out += compact;
        return;
    }
    const std::string inner(static_cast<std::size_t>((depth + 1) * kIndent), ' ');
    const bool isArray = value.is_array();
    out += isArray ? "[\n" : "{\n";
    bool first = true;
    for (const auto& [key, item] : value.items()) {
        if (!first)
            out += ",\n";
        first = false;
        out += inner;
        std::size_t itemColumn = inner.size();
        if (!isArray) {
            const std::size_t before = out.size();
            appendString(out, key);
            out += ": ";
            itemColumn += out.size() - before;
        }
        appendIndented(out, item, depth + 1, itemColumn);
    }
    out += '\n';
    out.append(static_cast<std::size_t>(depth * kIndent), ' ');
    out += isArray ? ']' : '}';
}

// "line L, column C" of the byte at `offset`, both counted from 1 as the JSON
// parser counts them.
std::string positionText(const std::string& text, std::size_t offset) {
    std::size_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i)
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    return "line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart + 1);
}

// Refuses arrays and objects nested deeper than kMaxSceneDepth. Brackets in
// strings do not count; an escaped character never ends a string. Text that is
// not JSON may be counted wrongly, but the parser refuses it anyway.
void checkNesting(const std::string& text) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxSceneDepth)
                throw ESceneError(positionText(text, i) + ": the scene is nested deeper than " +
                                  std::to_string(kMaxSceneDepth) + " levels");
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
}

// The parser's own tree builder, except that a number too large for an 80-bit
// float is refused with its place in the text like every other parse error
// (the parser reports it without one).
class TSceneReader : public nlohmann::detail::json_sax_dom_parser<TSceneJson> {
public:
    TSceneReader(TSceneJson& result, const std::string& text)
        : json_sax_dom_parser(result), text_(text) {}

    // `end` is the offset just past the token that failed.
    template <class Exception>
    bool parse_error(std::size_t end, const std::string& token, const Exception& error) {
        if constexpr (std::is_same_v<Exception, TSceneJson::out_of_range>) {
            if (error.id == 406) {
                const std::size_t start = end >= token.size() ? end - token.size() : 0;
                const std::string number = token.size() <= kShownNumberLength
                                               ? token
                                               : token.substr(0, kShownNumberLength) + "... (" +
                                                     std::to_string(token.size()) + " characters)";
                throw ESceneError(positionText(text_, start) + ": the number " + number +
                                  " is too large");
            }
        }
        return json_sax_dom_parser::parse_error(end, token, error);
    }

private:
    static constexpr std::size_t kShownNumberLength = 30;
    const std::string& text_;
};

} // namespace

TSceneJson ParseSceneText(const std::string& text) {
    checkNesting(text);
    TSceneJson scene;
    TSceneReader reader(scene, text);
    try {
        TSceneJson::sax_parse(text, &reader);
    } catch (const TSceneJson::parse_error& error) {
        // "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
        std::string message = error.what();
        const std::size_t at = message.find("at line ");
        if (at != std::string::npos)
            message = message.substr(at + 3);
        throw ESceneError(message);
    }
    return scene;
}

std::string WriteSceneText(const TSceneJson& scene) {
    std::string out;
    appendIndented(out, scene, 0, 0);
    out += '\n';
    return out;
}

bool IsValidUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1Fu;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0Fu;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07u;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        // Overlong forms, surrogates and values beyond the Unicode range.
        static const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return false;
        i += length;
    }
    return true;
}

} // namespace kova
