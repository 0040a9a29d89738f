#include "cli/SceneFields.h"

#include "cli/ExtendedText.h"
#include "cli/HexText.h"

#include <optional>
#include <utility>

namespace kova {

std::string FieldPath(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
}

std::string IndexPath(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

bool IsCommentKey(const std::string& key) {
    return !key.empty() && key[0] == '_';
}

void SceneFail(const std::string& path, const std::string& what) {
    throw ESceneError(path.empty() ? what : path + ": " + what);
}

Extended ReadExtended(const TSceneJson& value, const std::string& path) {
    switch (value.type()) {
    case TSceneJson::value_t::number_float:
        return value.get<long double>();
    case TSceneJson::value_t::number_integer:
        return static_cast<Extended>(value.get<std::int64_t>());
    case TSceneJson::value_t::number_unsigned:
        return static_cast<Extended>(value.get<std::uint64_t>());
    case TSceneJson::value_t::string:
        if (const auto parsed = ParseExactText(value.get_ref<const std::string&>()))
            return *parsed;
        break;
    default:
        break;
    }
    SceneFail(path, "expected a number");
}

bool ReadBoolean(const TSceneJson& value, const std::string& path) {
    if (!value.is_boolean())
        SceneFail(path, "expected true or false");
    return value.get<bool>();
}

std::string ReadName(const TSceneJson& value, const std::string& path) {
    if (value.is_string())
        return value.get<std::string>();
    const auto onlyBytes = [&] {
        for (const auto& item : value.items())
            if (item.key() != "bytes" && !IsCommentKey(item.key()))
                return false;
        return true;
    };
    if (value.is_object() && value.contains("bytes") && value["bytes"].is_string() && onlyBytes()) {
        if (std::optional<std::string> bytes =
                BytesOfHexText(value["bytes"].get_ref<const std::string&>()))
            return *std::move(bytes);
    }
    SceneFail(path, "expected a string");
}

Vector ReadVector(const TSceneJson& value, const std::string& path) {
    if (!value.is_array() || value.size() != 2)
        SceneFail(path, "expected an array of two numbers");
    Vector v;
    for (int i = 0; i < 2; ++i) {
        const TSceneJson& item = value[static_cast<std::size_t>(i)];
        if (!item.is_number() && !item.is_string())
            SceneFail(path, "expected an array of two numbers");
        v[i] = ReadExtended(item, IndexPath(path, static_cast<std::size_t>(i)));
    }
    return v;
}

std::int64_t ReadIntegerInRange(const TSceneJson& value, const std::string& path,
                                std::int64_t lowest, std::int64_t highest) {
    bool inRange = false;
    std::int64_t result = 0;
    if (value.is_number_unsigned()) {
        const std::uint64_t u = value.get<std::uint64_t>();
        inRange = u <= static_cast<std::uint64_t>(highest) &&
                  (lowest <= 0 || u >= static_cast<std::uint64_t>(lowest));
        result = static_cast<std::int64_t>(u);
    } else if (value.is_number_integer()) {
        result = value.get<std::int64_t>();
        inRange = result >= lowest && result <= highest;
    }
    if (!inRange)
        SceneFail(path, "expected an integer from " + std::to_string(lowest) + " to " +
                            std::to_string(highest));
    return result;
}

std::uint32_t ReadColor(const TSceneJson& value, const std::string& path) {
    if (value.is_array()) {
        if (value.size() != 3)
            SceneFail(path, "expected a colour value or [red, green, blue]");
        std::uint32_t color = 0;
        for (std::size_t i = 3; i-- > 0;)
            color = color * 256 + ReadInteger<std::uint8_t>(value[i], IndexPath(path, i));
        return color;
    }
    return ReadInteger<std::uint32_t>(value, path);
}

TVariantExtended ReadVariant(const TSceneJson& value, const std::string& path,
                             TVariantExtended start) {
    if (value.is_number() || value.is_string()) {
        start.BaseValue = ReadExtended(value, path);
        start.Apply = true;
        return start;
    }
    if (!value.is_object())
        SceneFail(path, "expected a number or an object of base, difference, signMode, apply");
    TSceneFields fields(value, path);
    fields.Get("base", start.BaseValue);
    fields.Get("difference", start.Difference);
    fields.Get("apply", start.Apply);
    if (const TSceneJson* mode = fields.Find("signMode")) {
        if (mode->is_string()) {
            const std::string& text = mode->get_ref<const std::string&>();
            if (text == "+")
                start.SignMode = vtplus;
            else if (text == "-")
                start.SignMode = vtminus;
            else if (text == "+-" || text == "\u00b1")
                start.SignMode = vtplusminus;
            else
                SceneFail(fields.Path("signMode"), "expected 0, 1, 2, \"+\", \"-\" or \"+-\"");
        } else {
            start.SignMode = static_cast<VarianceType>(
                ReadInteger<std::uint8_t>(*mode, fields.Path("signMode")));
        }
    }
    fields.Finish();
    return start;
}

const TSceneJson& ReadArray(const TSceneJson& value, const std::string& path) {
    if (!value.is_array())
        SceneFail(path, "expected an array");
    return value;
}

std::vector<std::int32_t> ReadIdList(const TSceneJson& value, const std::string& path) {
    std::vector<std::int32_t> ids;
    const TSceneJson& list = ReadArray(value, path);
    for (std::size_t i = 0; i < list.size(); ++i)
        ids.push_back(ReadInteger<std::int32_t>(list[i], IndexPath(path, i)));
    return ids;
}

// --- TSceneFields ------------------------------------------------------------

TSceneFields::TSceneFields(const TSceneJson& object, std::string path)
    : object_(object), path_(std::move(path)) {
    if (!object_.is_object())
        SceneFail(path_, "expected an object");
}

const TSceneJson* TSceneFields::Find(const std::string& key) {
    used_.insert(key);
    const auto it = object_.find(key);
    return it != object_.end() ? &*it : nullptr;
}

void TSceneFields::Get(const std::string& key, Extended& target) {
    if (const TSceneJson* v = Find(key))
        target = ReadExtended(*v, Path(key));
}

void TSceneFields::Get(const std::string& key, bool& target) {
    if (const TSceneJson* v = Find(key))
        target = ReadBoolean(*v, Path(key));
}

void TSceneFields::Get(const std::string& key, Vector& target) {
    if (const TSceneJson* v = Find(key))
        target = ReadVector(*v, Path(key));
}

void TSceneFields::Finish() const {
    for (const auto& item : object_.items()) {
        const std::string& key = item.key();
        if (!IsCommentKey(key) && used_.count(key) == 0)
            SceneFail(Path(key), "unknown field");
    }
}

} // namespace kova
