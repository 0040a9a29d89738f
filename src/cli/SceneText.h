#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kova {

// The JSON tree of a scene. Keys keep their order, and numbers with a fraction
// or an exponent are read as long double (strtold), so that a value written
// with its exact decimal text reads back to the same 80-bit bits.
using TSceneJson = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool,
                                        std::int64_t, std::uint64_t, long double>;

// A scene that cannot be read or built. The message is one line that names
// the place: "groups[0].members[3].position: expected an array of two numbers".
class ESceneError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The deepest nesting of arrays and objects a scene may have; a scene's own
// fields go at most eight levels deep. Deeper text is refused before it is
// parsed, so that nothing that walks the tree runs out of stack.
inline constexpr int kMaxSceneDepth = 256;

// Throws ESceneError "line L, column C: ..." for text that is not JSON, for a
// number beyond the range of an 80-bit float and for nesting deeper than
// kMaxSceneDepth.
TSceneJson ParseSceneText(const std::string& text);

// Indented JSON with every float in its exact decimal text (ExactDecimalText).
// Arrays and objects that fit on one line are written on one line. Strings
// must be valid UTF-8; floats must have an exact decimal text.
std::string WriteSceneText(const TSceneJson& scene);

// Whether the bytes are valid UTF-8 (names that are not go into scenes as bytes).
bool IsValidUtf8(const std::string& text);

} // namespace kova
