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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kova::fuzz::PrepareVectors();
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<kova::TSimulation> built;
    try {
        built = kova::BuildSimulation(kova::ParseSceneText(text));
    } catch (const kova::ESceneError&) {
        return 0;
    }
    if (!built)
        kova::fuzz::Fail("a scene was accepted but gave no simulation");
    kova::fuzz::CheckFileRoundTrip(*built);
    kova::fuzz::RunFewFrames(*built);
    return 0;
}
