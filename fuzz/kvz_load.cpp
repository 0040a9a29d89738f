// Feeds arbitrary bytes to the simulation file loader. A load either fails with
// EStreamError or gives a simulation that saves to a file which loads again and
// saves to the same bytes, and which then runs a few frames. The sanitizers and
// the fuzzer's memory and time limits catch the rest.

#include "foundations/Matrix.h"
#include "foundations/Streams.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool vectorsReady = [] {
        kova::InitVectors(2);
        return true;
    }();
    (void)vectorsReady;

    kova::TSimulation simulation;
    kova::TMemoryStream input(std::vector<std::uint8_t>(data, data + size));
    try {
        kova::ReadSimulationFile(simulation, input);
    } catch (const kova::EStreamError&) {
        return 0;
    }

    kova::TMemoryStream saved;
    kova::WriteSimulationFile(simulation, saved);
    saved.SetPosition(0);
    kova::TSimulation reloaded;
    try {
        kova::ReadSimulationFile(reloaded, saved);
    } catch (const kova::EStreamError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        fail("a saved simulation does not load again");
    }
    kova::TMemoryStream savedAgain;
    kova::WriteSimulationFile(reloaded, savedAgain);
    if (savedAgain.Bytes() != saved.Bytes())
        fail("a loaded simulation saves to other bytes than the file it was loaded from");

    // Whatever values a file holds, the frame loop must cope with them.
    simulation.BeginRun();
    for (int frame = 0; frame < 3; ++frame)
        simulation.StepFrame();
    return 0;
}
