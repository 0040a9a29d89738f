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

void BM_Flock(benchmark::State& state) {
    TSimulation simulation;
    TWorkloadOptions options;
    options.Bugs = static_cast<int>(state.range(0));
    kova::BuildFlockWorkload(simulation, options);
    runFrames(state, simulation);
}

void BM_Obstacles(benchmark::State& state) {
    TSimulation simulation;
    TWorkloadOptions options;
    options.Bugs = static_cast<int>(state.range(0));
    options.Obstacles = static_cast<int>(state.range(1));
    kova::BuildObstacleWorkload(simulation, options);
    runFrames(state, simulation);
}

} // namespace

BENCHMARK(BM_Flock)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Obstacles)->Args({1000, 50})->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    kova::InitVectors(2);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
