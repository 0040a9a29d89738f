// Core costs of one edit in a large flock: removing a single bug, and the
// in-memory save the desktop program's edit history takes after every edit.

#include "foundations/Matrix.h"
#include "foundations/Streams.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"
#include "simulation/Workloads.h"

#include <benchmark/benchmark.h>

namespace {

using kova::TSimulation;

void buildFlock(TSimulation& simulation, benchmark::State& state) {
    kova::TWorkloadOptions options;
    options.Bugs = static_cast<int>(state.range(0));
    kova::BuildFlockWorkload(simulation, options);
}

// range(0): bugs. Each iteration removes the middle member of the group.
void BM_RemoveOneBug(benchmark::State& state) {
    TSimulation simulation;
    buildFlock(simulation, state);
    kova::TBugGroup& group = *simulation.Groups.front();
    for (auto _ : state) {
        if (group.Members.empty())
            break;
        simulation.RemoveBug(*group.Members[group.Members.size() / 2]);
    }
}

// range(0): bugs.
void BM_Snapshot(benchmark::State& state) {
    TSimulation simulation;
    buildFlock(simulation, state);
    std::size_t bytes = 0;
    for (auto _ : state) {
        kova::TMemoryStream stream;
        kova::WriteSimulationSnapshot(simulation, stream);
        bytes = stream.Bytes().size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

} // namespace

BENCHMARK(BM_RemoveOneBug)
    ->ArgName("bugs")
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Snapshot)->ArgName("bugs")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
