// Cost of measuring a group's statistics once, on the flock workload after it
// has flown for a while (the members have left their scattered start and
// formed flocks): MeasureGroup, which sets up its scratch memory every call,
// and a TGroupMeter kept from one measurement to the next, as a run that
// measures every frame would keep it; and the part of it the desktop program's
// frame pays when the measuring runs on another thread: copying the members
// into a snapshot.

#include "analysis/GroupStatistics.h"
#include "foundations/Matrix.h"
#include "simulation/Simulation.h"
#include "simulation/Workloads.h"
#include "world/BugGroup.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using kova::TSimulation;

constexpr int kFramesFlown = 50;

// The flock of range(0) bugs after kFramesFlown frames.
std::unique_ptr<TSimulation> flownFlock(const benchmark::State& state) {
    auto simulation = std::make_unique<TSimulation>();
    kova::TWorkloadOptions options;
    options.Bugs = static_cast<int>(state.range(0));
    kova::BuildFlockWorkload(*simulation, options);
    simulation->BeginRun();
    for (int frame = 0; frame < kFramesFlown; ++frame)
        simulation->StepFrame();
    return simulation;
}

void report(benchmark::State& state, const kova::TGroupStatistics& statistics) {
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["clusters"] = static_cast<double>(statistics.Clusters);
    state.counters["nn_distance"] = statistics.MeanNearestNeighbourDistance;
    state.counters["polarisation"] = statistics.Polarisation;
}

void BM_MeasureGroup(benchmark::State& state) {
    const auto simulation = flownFlock(state);
    const kova::TBugGroup& group = *simulation->Groups.front();
    kova::TGroupStatistics statistics;
    for (auto _ : state) {
        statistics = kova::MeasureGroup(group);
        benchmark::DoNotOptimize(statistics);
    }
    report(state, statistics);
}

void BM_GroupMeter(benchmark::State& state) {
    const auto simulation = flownFlock(state);
    const kova::TBugGroup& group = *simulation->Groups.front();
    kova::TGroupMeter meter;
    kova::TGroupStatistics statistics;
    for (auto _ : state) {
        statistics = meter.Measure(group);
        benchmark::DoNotOptimize(statistics);
    }
    report(state, statistics);
}

void BM_TakeSnapshot(benchmark::State& state) {
    const auto simulation = flownFlock(state);
    const kova::TBugGroup& group = *simulation->Groups.front();
    kova::TGroupSnapshot snapshot;
    for (auto _ : state) {
        snapshot.Take(group);
        benchmark::DoNotOptimize(snapshot.X.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_MeasureGroup)
    ->ArgNames({"bugs"})
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GroupMeter)
    ->ArgNames({"bugs"})
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TakeSnapshot)
    ->ArgNames({"bugs"})
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
