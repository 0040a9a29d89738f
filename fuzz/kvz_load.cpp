// Feeds arbitrary bytes to the simulation file loader. A load either fails with
// EStreamError or gives a simulation that saves to a file which loads again and
// saves to the same bytes, and which then runs a few frames. The sanitizers and
// the fuzzer's memory and time limits catch the rest.

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kova::fuzz::PrepareVectors();
    kova::TSimulation simulation;
    kova::TMemoryStream input(std::vector<std::uint8_t>(data, data + size));
    try {
        kova::ReadSimulationFile(simulation, input);
    } catch (const kova::EStreamError&) {
        return 0;
    }
    kova::fuzz::CheckFileRoundTrip(simulation);
    kova::fuzz::RunFewFrames(simulation);
    return 0;
}
