#pragma once

// What the fuzz targets share: the vectors' set-up, the check that a
// simulation's file loads again and saves to the same bytes, and a few frames.

#include "foundations/Matrix.h"
#include "foundations/Streams.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"

#include <cstdio>
#include <cstdlib>

namespace kova::fuzz {

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

inline void PrepareVectors() {
    static const bool ready = [] {
        InitVectors(2);
        return true;
    }();
    (void)ready;
}

// Saves the simulation, loads that file and saves it again: the loader must
// accept every file the program writes, and a loaded file must save to the
// bytes it was loaded from.
inline void CheckFileRoundTrip(TSimulation& simulation) {
    TMemoryStream saved;
    WriteSimulationFile(simulation, saved);
    saved.SetPosition(0);
    TSimulation reloaded;
    try {
        ReadSimulationFile(reloaded, saved);
    } catch (const EStreamError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        Fail("a saved simulation does not load again");
    }
    TMemoryStream savedAgain;
    WriteSimulationFile(reloaded, savedAgain);
    if (savedAgain.Bytes() != saved.Bytes())
        Fail("a loaded simulation saves to other bytes than the file it was loaded from");
}

// Whatever values a simulation holds, the frame loop must cope with them.
inline void RunFewFrames(TSimulation& simulation) {
    simulation.BeginRun();
    for (int frame = 0; frame < 3; ++frame)
        simulation.StepFrame();
}

} // namespace kova::fuzz
