// Cost of drawing the arena of a large flock into the desktop program's
// off-screen image: the double-buffered Clear and DrawAll of one frame, for
// pictures of the whole arena, of a window's part of it at 100 %, and of the
// whole arena reduced to a window's size.

#include "foundations/Matrix.h"
#include "simulation/Simulation.h"
#include "simulation/Workloads.h"
#include "render/QtCanvas.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

namespace {

// The part of the arena a picture holds.
enum TPicture { kWholeArena, kWindowAt100, kArenaReduced };

// A window's viewport, as the desktop program shows it maximised.
constexpr int kViewportWidth = 1200;
constexpr int kViewportHeight = 800;

void BM_DrawArena(benchmark::State& state) {
    kova::TSimulation simulation;
    kova::TWorkloadOptions options;
    options.Bugs = static_cast<int>(state.range(0));
    kova::BuildFlockWorkload(simulation, options);

    kova::TQtSurface view;
    auto owned = std::make_unique<kova::TQtSurface>();
    kova::TQtSurface& buffer = *owned;
    const auto picture = static_cast<TPicture>(state.range(1));
    if (picture != kWholeArena) {
        // At 100 % the middle of the arena; reduced, all of it.
        const double scale =
            picture == kWindowAt100
                ? 1
                : std::min(kViewportWidth / static_cast<double>(simulation.Space.Width),
                           kViewportHeight / static_cast<double>(simulation.Space.Height));
        const QRect area =
            picture == kWindowAt100
                ? QRect(static_cast<int>(simulation.Space.Width / 2) - kViewportWidth / 2,
                        static_cast<int>(simulation.Space.Height / 2) - kViewportHeight / 2,
                        kViewportWidth, kViewportHeight)
                : QRect(0, 0, kViewportWidth, kViewportHeight);
        view.ShowArea(area, scale);
        buffer.ShowArea(area, scale);
    }
    simulation.Doc.SetPaintBox(&view);
    simulation.Doc.SetBuffer(std::move(owned));
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
    state.counters["picture_pixels"] =
        static_cast<double>(view.Image().width()) * view.Image().height();
}

} // namespace

// Bugs, then the picture: 0 the whole arena, 1 a window's part at 100 %,
// 2 the whole arena reduced to a window.
BENCHMARK(BM_DrawArena)
    ->ArgsProduct({{1000, 10000, 100000}, {kWholeArena, kWindowAt100, kArenaReduced}})
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    kova::InitVectors(2);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
