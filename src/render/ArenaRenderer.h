#pragma once

#include "analysis/GroupStatistics.h"
#include "simulation/SimulationHost.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QSize>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

class QPainter;

namespace kova {

class TQtSurface;
class TSimulation;

// A picture or video that cannot be made; the message is for the user.
class ERenderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How the frames of a run look.
struct TFrameOptions {
    // The frame's size, the arena scaled to fit and centred in it with a
    // margin of the margin colour; without it the frame is the arena times
    // Scale.
    std::optional<QSize> Size;
    double Scale = 1;
    // Width and height made even, as H.264 in 4:2:0 needs: a frame of the
    // arena times Scale gets a pixel of margin on the right or at the bottom
    // where it would be odd; a Size that is odd is refused.
    bool EvenSize = false;
    // Figures are not cleared between frames, as with the animation
    // controller's trails.
    bool Trails = false;
    // The simulation clock, "S:FF", in the top-right corner.
    bool TimeStamp = false;
    // One line per group in the top-left corner: its name, members,
    // polarisation, milling and clusters (TGroupMeter, default cluster
    // distance).
    bool StatisticsOverlay = false;
    QColor Margin = Qt::black;
};

// Where the arena's picture lies in a frame.
struct TFrameLayout {
    QSize Frame;
    // Frame pixels per model pixel.
    double Scale = 1;
    // The scaled arena's top-left corner in the frame, and its size.
    QPoint Offset;
    QSize Picture;
};

// The layout of the frames for an arena of this many model pixels; throws
// ERenderError when the options do not give a frame.
TFrameLayout LayOutFrame(QSize arena, const TFrameOptions& options);

// Draws a simulation's frames off screen, exactly as the desktop program's
// arena view shows them at the same zoom: the simulation's own drawing
// document paints a TQtSurface that holds the whole arena (reduced as far as
// the frame's scale is below 1), double buffered while it runs; from 1 up the
// picture is enlarged as the view enlarges it.
//
// The renderer takes over the simulation's drawing document (paint surface
// and buffer) and host for its lifetime, and leaves both detached; give it a
// simulation of its own, such as one loaded from a file or a copy of the
// desktop program's one made through the in-memory save (which rewinds it).
// The overlays' text needs a QGuiApplication.
class TArenaRenderer final : private ISimulationHost {
public:
    // Draws the arena as it stands, as the desktop program does when it
    // opens a file: Frame() then shows it before any step.
    TArenaRenderer(TSimulation& simulation, const TFrameOptions& options);
    ~TArenaRenderer() override;
    TArenaRenderer(const TArenaRenderer&) = delete;
    TArenaRenderer& operator=(const TArenaRenderer&) = delete;

    const TFrameLayout& Layout() const { return layout_; }

    // One frame of the run: every bug steps, the arena is drawn, the clock
    // advances (TSimulation::StepFrame). The first call starts the run.
    void Step();
    // The picture as it stands now (after the last Step, the bugs after that
    // frame's step and the clock after it), with margin and overlays: an
    // image of Layout().Frame in QImage::Format_RGB32.
    QImage Frame();
    // The same into an image, which is made anew only when it has another
    // size or format, or is shared: a run can reuse a few frames' memory.
    void DrawFrame(QImage& frame);

private:
    bool ShowTrails() const override { return options_.Trails; }

    void drawTimeStamp(QPainter& painter) const;
    void drawStatistics(QPainter& painter);

    TSimulation& simulation_;
    TFrameOptions options_;
    TFrameLayout layout_;
    // Owned by the drawing document.
    TQtSurface* buffer_ = nullptr;
    std::unique_ptr<TQtSurface> picture_;
    TGroupMeter meter_;
};

} // namespace kova
