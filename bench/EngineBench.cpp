// Frame cost of the engine on the reproducible workloads: one StepFrame of
// every bug, reported per frame and per bug-step.

#include "foundations/Matrix.h"
#include "simulation/Simulation.h"
#include "simulation/Workloads.h"

#include <benchmark/benchmark.h>

#include <functional>

namespace {

using kova::TSimulation;
using kova::TWorkloadOptions;

void runFrames(benchmark::State& state, TSimulation& simulation) {
    simulation.BeginRun();
    for (auto _ : state)
        simulation.StepFrame();
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["ns_per_bug_step"] = benchmark::Counter(
        static_cast<double>(state.iterations() * state.range(0)),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}

// range(0): bugs; range(1): 1 for the direct searches without spatial index.
void BM_Flock(benchmark::State& state) {
    TSimulation simulation;
    TWorkloadOptions options;
    options.Bugs = static_cast<int>(state.range(0));
    kova::BuildFlockWorkload(simulation, options);
    simulation.UseSpatialIndex = state.range(1) == 0;
    runFrames(state, simulation);
}

// range(0): bugs; range(1): obstacles; range(2): 1 for the direct search.
void BM_Obstacles(benchmark::State& state) {
    TSimulation simulation;
    TWorkloadOptions options;
    options.Bugs = static_cast<int>(state.range(0));
    options.Obstacles = static_cast<int>(state.range(1));
    kova::BuildObstacleWorkload(simulation, options);
    simulation.UseSpatialIndex = state.range(2) == 0;
    runFrames(state, simulation);
}

} // namespace

BENCHMARK(BM_Flock)
    ->ArgNames({"bugs", "direct"})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Obstacles)
    ->ArgNames({"bugs", "obstacles", "direct"})
    ->Args({1000, 50, 0})
    ->Args({1000, 50, 1})
    ->Args({10000, 1000, 0})
    ->Args({10000, 1000, 1})
    ->Unit(benchmark::kMillisecond);
