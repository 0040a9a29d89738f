// Cost of drawing the arena of a large flock into the desktop program's
// off-screen image: the double-buffered Clear and DrawAll of one frame.

#include "foundations/Matrix.h"
#include "simulation/Simulation.h"
#include "simulation/Workloads.h"
#include "ui/QtCanvas.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

void BM_DrawArena(benchmark::State& state) {
    kova::TSimulation simulation;
    kova::TWorkloadOptions options;
    options.Bugs = static_cast<int>(state.range(0));
    kova::BuildFlockWorkload(simulation, options);

    // The whole arena is one image, so every bug is drawn.
    kova::TQtSurface view;
    simulation.Doc.SetPaintBox(&view);
    simulation.Doc.SetBuffer(std::make_unique<kova::TQtSurface>());
    simulation.Doc.SetWidth(static_cast<long>(simulation.Space.Width));
    simulation.Doc.SetHeight(static_cast<long>(simulation.Space.Height));
    simulation.Doc.SetBackgroundColor(simulation.Space.Color);
    simulation.Doc.ApplySize();
    simulation.Running = true; // draw through the buffer, as during a run

    for (auto _ : state) {
        simulation.Doc.Clear();
        simulation.Doc.DrawAll();
        view.QtCanvas().End();
        benchmark::DoNotOptimize(view.Image().constBits());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_DrawArena)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    kova::InitVectors(2);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
