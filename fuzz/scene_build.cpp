// Feeds arbitrary bytes to kova-cli's scene reader as JSON scene text. The
// text is either refused with ESceneError (and with nothing else), or it
// builds a simulation that saves to a file which the simulation file loader
// accepts: a build must never produce a file its own loader refuses. That file
// saves again to the same bytes, and the built simulation runs a few frames.
// The sanitizers and the fuzzer's memory and time limits catch the rest.

#include "FuzzSupport.h"
#include "cli/SceneJson.h"
#include "cli/SceneText.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

// "randomMembers" makes as many members as its count says from a few bytes
// of text; more members in all than this would only measure the fuzzer's
// memory and time limits.
constexpr std::int64_t kMostRandomMembers = 10000;

bool asksForManyMembers(const kova::TSceneJson& scene) {
    if (!scene.is_object() || !scene.contains("groups") || !scene["groups"].is_array())
        return false;
    std::int64_t total = 0;
    for (const kova::TSceneJson& group : scene["groups"]) {
        if (!group.is_object() || !group.contains("randomMembers"))
            continue;
        const kova::TSceneJson& random = group["randomMembers"];
        if (random.is_object() && random.contains("count") && random["count"].is_number_integer()) {
            const std::int64_t count = random["count"].get<std::int64_t>();
            if (count > kMostRandomMembers || (total += count) > kMostRandomMembers)
                return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kova::fuzz::PrepareVectors();
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<kova::TSimulation> built;
    try {
        const kova::TSceneJson scene = kova::ParseSceneText(text);
        if (asksForManyMembers(scene))
            return 0;
        built = kova::BuildSimulation(scene);
    } catch (const kova::ESceneError&) {
        return 0;
    }
    if (!built)
        kova::fuzz::Fail("a scene was accepted but gave no simulation");
    kova::fuzz::CheckFileRoundTrip(*built);
    kova::fuzz::RunFewFrames(*built);
    return 0;
}
