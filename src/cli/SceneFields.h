#pragma once

#include "cli/SceneText.h"
#include "foundations/Matrix.h"
#include "foundations/VariantExtended.h"

#include <concepts>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace kova {

// Reading typed values out of a scene, each failure an ESceneError that names
// the place of the value ("groups[0].color: expected ...").

std::string FieldPath(const std::string& path, const std::string& key);
std::string IndexPath(const std::string& path, std::size_t index);
// Keys beginning with "_" are comments, which nothing reads.
bool IsCommentKey(const std::string& key);
[[noreturn]] void SceneFail(const std::string& path, const std::string& what);

// A JSON number, or a string of ParseExactText.
Extended ReadExtended(const TSceneJson& value, const std::string& path);
bool ReadBoolean(const TSceneJson& value, const std::string& path);
// A string, or {"bytes": "<hex>"} for a name that is not UTF-8.
std::string ReadName(const TSceneJson& value, const std::string& path);
// [x, y].
Vector ReadVector(const TSceneJson& value, const std::string& path);
// An integer, or [red, green, blue] of 0 .. 255 each.
std::uint32_t ReadColor(const TSceneJson& value, const std::string& path);
// A number n (short for {"base": n, "apply": true}) or an object of "base",
// "difference", "signMode" (0, 1, 2 or "+", "-", "+-") and "apply"; fields
// left out keep the values of `start`.
TVariantExtended ReadVariant(const TSceneJson& value, const std::string& path,
                             TVariantExtended start);
const TSceneJson& ReadArray(const TSceneJson& value, const std::string& path);

std::int64_t ReadIntegerInRange(const TSceneJson& value, const std::string& path,
                                std::int64_t lowest, std::int64_t highest);

template <std::integral Int> Int ReadInteger(const TSceneJson& value, const std::string& path) {
    return static_cast<Int>(ReadIntegerInRange(value, path, std::numeric_limits<Int>::min(),
                                               std::numeric_limits<Int>::max()));
}

std::vector<std::int32_t> ReadIdList(const TSceneJson& value, const std::string& path);

// One JSON object being read: it hands out its fields by name and, at the end,
// refuses every key nobody asked for (keys beginning with "_" are comments).
class TSceneFields {
public:
    TSceneFields(const TSceneJson& object, std::string path);

    const TSceneJson* Find(const std::string& key);
    std::string Path(const std::string& key) const { return FieldPath(path_, key); }
    const std::string& Path() const { return path_; }

    // Each stores the field into `target` when it is present.
    void Get(const std::string& key, Extended& target);
    void Get(const std::string& key, bool& target);
    void Get(const std::string& key, std::string& target) {
        if (const TSceneJson* v = Find(key))
            target = ReadName(*v, Path(key));
    }
    void Get(const std::string& key, Vector& target);
    template <std::integral Int> void Get(const std::string& key, Int& target) {
        if (const TSceneJson* v = Find(key))
            target = ReadInteger<Int>(*v, Path(key));
    }

    // Throws for the first key that was not asked for.
    void Finish() const;

private:
    const TSceneJson& object_;
    std::string path_;
    std::set<std::string> used_;
};

} // namespace kova
