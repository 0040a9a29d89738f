// The arena's mouse tools: rubber bands and status feedback while dragging,
// and the bug brush, bug placement and obstacles when the mouse is released.
// The view hands over positions in model pixels, whatever its zoom.
#include "ui/MainWindow.h"

#include "simulation/Simulation.h"
#include "ui/ArenaView.h"
#include "ui/EditHistory.h"
#include "ui/Tools.h"
#include "world/Canvas.h"

#include <QLabel>
#include <QMessageBox>

#include <algorithm>
#include <cmath>

namespace kova {

namespace {

QString coordinates(QPoint point) {
    return QString("%1 : %2").arg(point.x()).arg(point.y());
}

// The most cells one drag of the density brush may walk: a million bugs at
// full density.
constexpr int kMostBrushCells = 1'000'000;

QString estimateText(int count) {
    return QString("approx. %1 bugs will be created").arg(count);
}

// The square the ellipse tool shows: from the start corner toward the pointer,
// its side the larger of the two distances.
TRect squareToward(QPoint start, QPoint to) {
    const int side = std::max(std::abs(start.x() - to.x()), std::abs(start.y() - to.y()));
    const int farX = start.x() - to.x() > 0 ? start.x() - side : start.x() + side;
    const int farY = start.y() - to.y() > 0 ? start.y() - side : start.y() + side;
    return {start.x(), start.y(), farX, farY};
}

} // namespace

TArenaPoint InsideArena(QPoint point, const TSpace& arena) {
    auto clamp = [](int value, Extended size) {
        return std::max<Extended>(0, std::min<Extended>(value, size));
    };
    return {clamp(point.x(), arena.Width), clamp(point.y(), arena.Height)};
}

int EstimatedBugCount(int density, Extended cellSize, TArenaPoint start, TArenaPoint end) {
    if (!(cellSize > 0))
        return 0;
    const Extended columns = fabsl(start.X - end.X) / cellSize;
    const Extended rows = fabsl(start.Y - end.Y) / cellSize;
    return TruncToInt32(density * columns * rows / 100);
}

void TfrMain::arenaMouseDown(QPoint position) {
    if (simulation_->Running || tools_->ActiveTool() == TArenaTool::None)
        return;
    dragStart_ = position;
    dragging_ = true;
}

void TfrMain::drawRubberBand(TArenaTool tool, QPoint to) {
    switch (tool) {
    case TArenaTool::Bug:
        arenaView_->ShowRubberBand(TRubberBand::Rect, dragStart_, to);
        break;
    case TArenaTool::Line:
        arenaView_->ShowRubberBand(TRubberBand::Line, dragStart_, to);
        break;
    case TArenaTool::Ellipse: {
        const TRect square = squareToward(dragStart_, to);
        arenaView_->ShowRubberBand(TRubberBand::Ellipse, QPoint(square.left, square.top),
                                   QPoint(square.right, square.bottom));
        break;
    }
    case TArenaTool::None:
        arenaView_->HideRubberBand();
        break;
    }
}

void TfrMain::arenaMouseMove(QPoint position) {
    if (!dragging_) {
        setPanel(1, coordinates(position));
        return;
    }
    const TArenaTool tool = tools_->ActiveTool();
    // The view shows the band over the arena's picture, in place of the last
    // one.
    drawRubberBand(tool, position);
    setPanel(1, coordinates(dragStart_));
    setPanel(2, coordinates(position));
    if (tool == TArenaTool::Bug) {
        const TBugGroup* group = tools_->ChosenGroup();
        const Extended cell = group != nullptr ? group->Template.DiameterVariantValue.BaseValue : 0;
        setPanel(3, estimateText(EstimatedBugCount(tools_->Density(), cell,
                                                   InsideArena(dragStart_, simulation_->Space),
                                                   InsideArena(position, simulation_->Space))));
    }
}

void TfrMain::arenaMouseUp(QPoint position) {
    if (!dragging_)
        return;
    dragging_ = false;
    setPanel(2, QString());
    setPanel(3, QString());
    arenaView_->HideRubberBand();
    // Each of these repaints the whole view.
    if (position == dragStart_) {
        recordArenaEdit("Place Bug", [&] {
            simulation_->PlaceBug(tools_->ChosenGroup(), position.x(), position.y());
        });
        return;
    }
    // The bug brush paints the arena only: a drag that leaves the view ends at
    // the arena's edge. Obstacles keep the points as dragged.
    const bool brush = tools_->ActiveTool() == TArenaTool::Bug;
    const TArenaPoint start = brush
                                  ? InsideArena(dragStart_, simulation_->Space)
                                  : TArenaPoint{Extended(dragStart_.x()), Extended(dragStart_.y())};
    const TArenaPoint end = brush ? InsideArena(position, simulation_->Space)
                                  : TArenaPoint{Extended(position.x()), Extended(position.y())};
    if (brushTooLarge(start, end)) {
        simulation_->Repaint();
        return;
    }
    recordArenaEdit(brush                                         ? "Paint Bugs"
                    : tools_->ActiveTool() == TArenaTool::Ellipse ? "Draw Ellipse"
                                                                  : "Draw Line",
                    [&] {
                        simulation_->ApplyDrag(tools_->ChosenGroup(), tools_->Density(), start.X,
                                               start.Y, end.X, end.Y);
                    });
}

// A tool's click or drag is a step of the history when it made a bug or an
// obstacle; a click without a tool, or a brush that found no free cell, is not.
void TfrMain::recordArenaEdit(const char* text, const std::function<void()>& edit) {
    auto objectCount = [this] {
        std::size_t count = simulation_->Obstacles.size();
        for (const auto& group : simulation_->Groups)
            count += group->Members.size();
        return count;
    };
    history_->Record(text, [&] {
        const std::size_t before = objectCount();
        edit();
        return objectCount() != before;
    });
}

// A brush of a tiny bug diameter over a large area would walk more cells than
// memory holds bugs, and the program would hang or fail with the user's work
// unsaved: such a drag is refused with an explanation.
bool TfrMain::brushTooLarge(TArenaPoint start, TArenaPoint end) {
    const TBugGroup* group = tools_->ChosenGroup();
    if (tools_->ActiveTool() != TArenaTool::Bug || group == nullptr)
        return false;
    const Extended cells = TSimulation::BrushCellCount(
        group->Template.DiameterVariantValue.BaseValue, start.X, start.Y, end.X, end.Y);
    if (cells <= kMostBrushCells)
        return false;
    QMessageBox::warning(
        this, windowTitle(),
        QString("This drag would paint %1 cells of the bug diameter; at most %2 can be painted "
                "at once. Drag a smaller area or give the group a larger diameter.")
            .arg(static_cast<double>(cells), 0, 'f', 0)
            .arg(kMostBrushCells));
    return true;
}

} // namespace kova
