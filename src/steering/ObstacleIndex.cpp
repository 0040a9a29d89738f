#include "steering/ObstacleIndex.h"

#include "foundations/GridAxis.h"
#include "foundations/Prefetch.h"
#include "world/Obstacle.h"

#include <algorithm>
#include <cmath>

namespace kova {

namespace {

// The nearest double at or below (above) the value.
double roundedDown(Extended value) {
    const double rounded = static_cast<double>(value);
    return rounded > value ? std::nextafter(rounded, -HUGE_VAL) : rounded;
}

double roundedUp(Extended value) {
    const double rounded = static_cast<double>(value);
    return rounded < value ? std::nextafter(rounded, HUGE_VAL) : rounded;
}

// A relative margin that covers the rounding of the intersection arithmetic.
constexpr double kMargin = 1e-6;

Extended marginFor(Extended magnitude) {
    return kMargin * (1 + magnitude);
}

// Cells along one axis, at most 4096. An extent that cannot be divided into
// cells (an infinite span over an infinite cell, from coordinates a file can
// hold) takes one cell instead of the most.
std::uint32_t axisCount(Extended extent, Extended cellSize) {
    const Extended count = ceill(extent / cellSize) + 1;
    if (!(count == count))
        return 1;
    return static_cast<std::uint32_t>(std::min<Extended>(4096, count));
}

} // namespace

// The probe in double precision, with the scale of its coordinates.
struct TObstacleIndex::TQuickProbe {
    double X, Y;   // the start
    double Dx, Dy; // from the start to the end
    double Length;
    double Range;
    double Scale; // the sum of the start's and the end's magnitudes and the range
};

// Whether the exact intersection tests must find that the probe misses the
// figure. The tests here work with doubles, whose rounding can move a value by
// far less than a millionth of the scale of the coordinates (squared, for
// products); a verdict is given only when the value tested is further than
// that from its limit, so that the exact arithmetic, whose rounding is finer
// still, must come to the same one. Scales whose squares could overflow or
// vanish in doubles (or not be finite) give no verdict.
bool TObstacleIndex::surelyMissed(const TQuickFigure& figure, const TQuickProbe& probe) {
    constexpr double kTolerance = 1e-6;
    const auto quick = [](double scale) { return scale > 1e-100 && scale < 1e100; };
    // Both points relative to the probe's start.
    const double x1 = figure.X1 - probe.X;
    const double y1 = figure.Y1 - probe.Y;
    if (figure.Circle) {
        const double radius = std::fabs(figure.Radius);
        const double scale = probe.Scale + std::fabs(figure.X1) + std::fabs(figure.Y1) + radius;
        if (!quick(scale))
            return false;
        const double slack = kTolerance * scale;
        // Every point the probe can hit lies within the range of its start.
        const double distance = std::sqrt(x1 * x1 + y1 * y1);
        if (distance - radius > probe.Range + slack)
            return true;
        // Points are hit only where the probe's line meets the circle: its
        // distance from the centre, times the probe's length, is the cross
        // product. A probe much shorter than the scale (a bug at rest) has no
        // line to speak of.
        if (!(probe.Length > slack))
            return false;
        const double cross = x1 * probe.Dy - y1 * probe.Dx;
        return std::fabs(cross) - radius * probe.Length > slack * scale;
    }
    // A segment is hit only where the probe's start and end lie on opposite
    // sides of the line (or on it), and the line's ends on opposite sides of
    // the probe.
    const double x2 = figure.X2 - probe.X;
    const double y2 = figure.Y2 - probe.Y;
    const double scale = probe.Scale + std::fabs(figure.X1) + std::fabs(figure.Y1) +
                         std::fabs(figure.X2) + std::fabs(figure.Y2);
    if (!quick(scale))
        return false;
    const double limit = kTolerance * scale * scale;
    const auto sameSide = [limit](double a, double b) {
        return (a > limit && b > limit) || (a < -limit && b < -limit);
    };
    const double ux = x2 - x1;
    const double uy = y2 - y1;
    const double startSide = -x1 * uy + y1 * ux;
    const double endSide = (probe.Dx - x1) * uy - (probe.Dy - y1) * ux;
    const double firstEndSide = probe.Dx * y1 - probe.Dy * x1;
    const double secondEndSide = probe.Dx * y2 - probe.Dy * x2;
    return sameSide(startSide, endSide) || sameSide(firstEndSide, secondEndSide);
}

bool TObstacleIndex::finite(const TBox& box) {
    return std::isfinite(box.left) && std::isfinite(box.top) && std::isfinite(box.right) &&
           std::isfinite(box.bottom);
}

void TObstacleIndex::Prepare(const TObstacleList& obstacles) {
    // Copies of one list share their array: most calls end at the first
    // test. A list equal to the indexed one is kept instead of it, so that
    // its other copies end there too.
    if (obstacles.SharesItemsWith(obstacles_) && !figuresUnchecked_)
        return;
    const bool same = obstacles.Items() == obstacles_.Items() &&
                      (!figuresUnchecked_ || figuresUnchanged(obstacles));
    obstacles_ = obstacles;
    figuresUnchecked_ = false;
    if (!same)
        rebuild();
}

bool TObstacleIndex::figuresUnchanged(const TObstacleList& obstacles) const {
    // Bit for bit: the copies must give the intersection tests the very
    // values of the obstacle, down to the sign of a zero.
    for (std::size_t i = 0; i < obstacles.size(); ++i) {
        const TObstacle* o = obstacles[i];
        if (o == nullptr)
            continue;
        const TFigure& figure = figures_[i];
        if (o->Kind != figure.Kind || !SameBits(o->P1, figure.P1) || !SameBits(o->P2, figure.P2) ||
            !SameBits(o->Centre, figure.Centre) || !SameBits(o->Radius, figure.Radius))
            return false;
    }
    return true;
}

TObstacleIndex::TBox TObstacleIndex::enclosingBox(Extended left, Extended top, Extended right,
                                                  Extended bottom) {
    return {roundedDown(left), roundedDown(top), roundedUp(right), roundedUp(bottom)};
}

void TObstacleIndex::rebuild() {
    boxes_.clear();
    figures_.resize(obstacles_.size());
    quickFigures_.resize(obstacles_.size());
    everywhere_.clear();
    // The obstacles the grid holds: lines and circles of finite extent.
    std::vector<std::uint32_t> gridded;
    double left = 0, top = 0, right = 0, bottom = 0;
    bool any = false;
    for (std::uint32_t i = 0; i < obstacles_.size(); ++i) {
        const TObstacle* o = obstacles_[i];
        if (o == nullptr) {
            boxes_.push_back({0, 0, 0, 0});
            continue; // never hit, never a candidate
        }
        figures_[i] = {o->P1, o->P2, o->Centre, o->Radius, o->Kind};
        const Vector& first = o->Kind == TObstacle::kLine ? o->P1 : o->Centre;
        quickFigures_[i] = {static_cast<double>(first[0]),  static_cast<double>(first[1]),
                            static_cast<double>(o->P2[0]),  static_cast<double>(o->P2[1]),
                            static_cast<double>(o->Radius), o->Kind != TObstacle::kLine};
        Extended l, t, r, b;
        if (o->Kind == TObstacle::kLine) {
            l = std::min(o->P1[0], o->P2[0]);
            t = std::min(o->P1[1], o->P2[1]);
            r = std::max(o->P1[0], o->P2[0]);
            b = std::max(o->P1[1], o->P2[1]);
        } else {
            const Extended radius = fabsl(o->Radius);
            l = o->Centre[0] - radius;
            t = o->Centre[1] - radius;
            r = o->Centre[0] + radius;
            b = o->Centre[1] + radius;
        }
        const Extended margin = marginFor(std::max({fabsl(l), fabsl(t), fabsl(r), fabsl(b)}));
        const TBox box = enclosingBox(l - margin, t - margin, r + margin, b + margin);
        boxes_.push_back(box);
        if (o->Kind != TObstacle::kLine && o->Kind != TObstacle::kCircle)
            continue; // other kinds are skipped by the search
        if (!finite(box)) {
            everywhere_.push_back(i);
            continue;
        }
        gridded.push_back(i);
        left = any ? std::min(left, box.left) : box.left;
        top = any ? std::min(top, box.top) : box.top;
        right = any ? std::max(right, box.right) : box.right;
        bottom = any ? std::max(bottom, box.bottom) : box.bottom;
        any = true;
    }

    // About one obstacle per cell.
    const Extended width = std::max<Extended>(right - left, 1);
    const Extended height = std::max<Extended>(bottom - top, 1);
    const Extended count = std::max<Extended>(1, static_cast<Extended>(obstacles_.size()));
    left_ = left;
    top_ = top;
    cellSize_ = static_cast<double>(std::max(sqrtl(width * height / count), 1e-6L));
    columns_ = axisCount(width, cellSize_);
    rows_ = axisCount(height, cellSize_);
    // The entries are sorted into their cells by counting: each cell's count
    // goes to the start of the cell after it, and the counts are then summed
    // into the starts.
    const std::size_t cellCount = static_cast<std::size_t>(columns_) * rows_;
    cellStarts_.assign(cellCount + 1, 0);
    const auto forEachCell = [&](std::uint32_t i, auto&& visit) {
        const TBox& box = boxes_[i];
        const std::uint32_t lastColumn = columnOf(box.right);
        const std::uint32_t lastRow = rowOf(box.bottom);
        for (std::uint32_t row = rowOf(box.top); row <= lastRow; ++row)
            for (std::uint32_t column = columnOf(box.left); column <= lastColumn; ++column)
                visit(row, column);
    };
    for (const std::uint32_t i : gridded)
        forEachCell(i, [&](std::uint32_t row, std::uint32_t column) {
            ++cellStarts_[static_cast<std::size_t>(row) * columns_ + column + 1];
        });
    for (std::size_t cell = 1; cell <= cellCount; ++cell)
        cellStarts_[cell] += cellStarts_[cell - 1];
    cellEntries_.resize(cellStarts_[cellCount]);
    gathered_.resize(cellEntries_.size() + everywhere_.size());
    nextSlot_.assign(cellStarts_.begin(), cellStarts_.end() - 1);
    for (const std::uint32_t i : gridded) {
        const TBox& box = boxes_[i];
        const std::uint32_t firstColumn = columnOf(box.left);
        const std::uint32_t firstRow = rowOf(box.top);
        forEachCell(i, [&](std::uint32_t row, std::uint32_t column) {
            const std::size_t cell = static_cast<std::size_t>(row) * columns_ + column;
            cellEntries_[nextSlot_[cell]++] = {box, i, column, firstColumn, firstRow};
        });
    }
}

std::uint32_t TObstacleIndex::columnOf(double x) const {
    return GridAxisCell(x - left_, cellSize_, columns_);
}

std::uint32_t TObstacleIndex::rowOf(double y) const {
    return GridAxisCell(y - top_, cellSize_, rows_);
}

bool TObstacleIndex::Candidates(const Vector& start, const Vector& end, Extended range,
                                std::vector<std::uint32_t>& out) {
    out.clear();
    const double x = static_cast<double>(start[0]);
    const double y = static_cast<double>(start[1]);
    const double endX = static_cast<double>(end[0]);
    const double endY = static_cast<double>(end[1]);
    const double reach = static_cast<double>(fabsl(range));
    // A point the probe hits lies within `range` of its start, and on each
    // axis on the side of the start that the end lies on, or level with it:
    // a line is hit between start and end, a circle where the offset from the
    // start has the signs of the probe's. With an end level with the start on
    // an axis (a probe along the other axis, or a bug at rest), the hit is on
    // the lower side on that axis. The margin covers the rounding of a line's
    // hit to either side, and twice over the rounding of the box's bounds to
    // double. The sides are told apart in full precision.
    const double margin = 2 * kMargin * (1 + std::fabs(x) + std::fabs(y) + reach);
    const auto span = [&](int axis, double from) -> std::pair<double, double> {
        if (end[axis] > start[axis])
            return {from - margin, from + reach + margin};
        return {from - reach - margin, from + margin};
    };
    const auto [left, right] = span(0, x);
    const auto [top, bottom] = span(1, y);
    const TBox query{left, top, right, bottom};
    if (!finite(query))
        return false;
    const std::uint32_t firstColumn = columnOf(query.left);
    const std::uint32_t lastColumn = columnOf(query.right);
    const std::uint32_t firstRow = rowOf(query.top);
    const std::uint32_t lastRow = rowOf(query.bottom);
    const std::uint64_t searched =
        static_cast<std::uint64_t>(lastColumn - firstColumn + 1) * (lastRow - firstRow + 1);
    if (searched * 2 > static_cast<std::uint64_t>(columns_) * rows_)
        return false;

    // Whether an entry's box overlaps the query is as good as random, so the
    // verdicts are reached without branches: every index is written at the
    // tail, and only the ones kept move the tail on. The scratch buffer has
    // room for every entry.
    std::uint32_t* tail = gathered_.data();
    for (std::uint32_t row = firstRow; row <= lastRow; ++row) {
        const std::size_t rowStart = static_cast<std::size_t>(row) * columns_;
        const TCellEntry* first = cellEntries_.data() + cellStarts_[rowStart + firstColumn];
        const TCellEntry* last = cellEntries_.data() + cellStarts_[rowStart + lastColumn + 1];
        for (const TCellEntry* entry = first; entry != last; ++entry) {
            const TBox& box = entry->Box;
            const int firstCovered =
                int(entry->Column == std::max(entry->FirstColumn, firstColumn)) &
                int(row == std::max(entry->FirstRow, firstRow));
            const int overlaps = int(box.right >= query.left) & int(box.left <= query.right) &
                                 int(box.bottom >= query.top) & int(box.top <= query.bottom);
            *tail = entry->Index;
            tail += firstCovered & overlaps;
        }
    }
    tail = std::copy(everywhere_.begin(), everywhere_.end(), tail);

    // Few of the obstacles in the box are near the probe's line.
    const double dx = endX - x;
    const double dy = endY - y;
    const TQuickProbe probe{x,
                            y,
                            dx,
                            dy,
                            std::sqrt(dx * dx + dy * dy),
                            reach,
                            std::fabs(x) + std::fabs(y) + std::fabs(endX) + std::fabs(endY) +
                                reach};
    for (const std::uint32_t* i = gathered_.data(); i != tail; ++i)
        if (!surelyMissed(quickFigures_[*i], probe)) {
            out.push_back(*i);
            // The caller reads the candidates' figures next.
            PrefetchRange(&figures_[*i], &figures_[*i] + 1);
        }
    std::sort(out.begin(), out.end());
    return true;
}

} // namespace kova
