#include "analysis/GroupStatistics.h"

#include "steering/SteeringBehaviour.h"
#include "world/Bug.h"
#include "world/BugGroup.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace kova {

namespace {

// The cell of a coordinate already divided by the cell size, clamped into
// 0 .. count - 1 (NaN lands in cell 0).
std::int64_t clampedCell(double scaled, std::int64_t count) {
    if (!(scaled >= 0))
        return 0;
    if (scaled >= static_cast<double>(count - 1))
        return count - 1;
    return static_cast<std::int64_t>(scaled);
}

// |v| without losing very small or very large velocities to the squares.
double lengthOf(double x, double y) {
    const double length = std::sqrt(x * x + y * y);
    if (length >= 1e-150 && length <= 1e150)
        return length;
    return std::hypot(x, y);
}

std::uint32_t findRoot(std::vector<std::uint32_t>& parent, std::uint32_t i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

} // namespace

const std::vector<std::string>& GroupStatisticNames() {
    static const std::vector<std::string> names{"members",
                                                "mean_speed",
                                                "min_speed",
                                                "max_speed",
                                                "polarisation",
                                                "milling",
                                                "mean_nearest_neighbour_distance",
                                                "clusters",
                                                "centre_x",
                                                "centre_y",
                                                "radius_of_gyration"};
    return names;
}

std::vector<double> GroupStatisticValues(const TGroupStatistics& s) {
    return {static_cast<double>(s.Members),
            s.MeanSpeed,
            s.MinSpeed,
            s.MaxSpeed,
            s.Polarisation,
            s.Milling,
            s.MeanNearestNeighbourDistance,
            static_cast<double>(s.Clusters),
            s.CentreX,
            s.CentreY,
            s.RadiusOfGyration};
}

double DefaultClusterDistance(const TBugGroup& group) {
    double range = 0;
    if (group.Template.Behaviours)
        for (const auto& behaviour : *group.Template.Behaviours)
            if (behaviour && behaviour->SensorRangeOn)
                range = std::max(range, static_cast<double>(behaviour->SensorRange));
    if (range > 0)
        return range;
    double diameter = 0;
    for (const auto& bug : group.Members)
        diameter = std::max({diameter, static_cast<double>(bug->Shape.Size[0]),
                             static_cast<double>(bug->Shape.Size[1])});
    return 2 * diameter;
}

TGroupStatistics TGroupMeter::Measure(const TBugGroup& group, double clusterDistance) {
    TGroupStatistics statistics;
    const std::size_t n = group.Members.size();
    statistics.Members = n;
    if (n == 0)
        return statistics;

    x_.resize(n);
    y_.resize(n);
    ux_.resize(n);
    uy_.resize(n);
    minX_ = minY_ = std::numeric_limits<double>::infinity();
    maxX_ = maxY_ = -std::numeric_limits<double>::infinity();
    double sumSpeed = 0, sumX = 0, sumY = 0, sumUx = 0, sumUy = 0;
    double minSpeed = std::numeric_limits<double>::infinity(), maxSpeed = 0;
    std::size_t moving = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const TBug& bug = *group.Members[i];
        const double x = static_cast<double>(bug.Position[0]);
        const double y = static_cast<double>(bug.Position[1]);
        const double vx = static_cast<double>(bug.Velocity[0]);
        const double vy = static_cast<double>(bug.Velocity[1]);
        x_[i] = x;
        y_[i] = y;
        sumX += x;
        sumY += y;
        if (std::isfinite(x)) {
            minX_ = std::min(minX_, x);
            maxX_ = std::max(maxX_, x);
        }
        if (std::isfinite(y)) {
            minY_ = std::min(minY_, y);
            maxY_ = std::max(maxY_, y);
        }
        const double speed = lengthOf(vx, vy);
        sumSpeed += speed;
        minSpeed = std::min(minSpeed, speed);
        maxSpeed = std::max(maxSpeed, speed);
        if (speed > 0) {
            ux_[i] = vx / speed;
            uy_[i] = vy / speed;
            sumUx += ux_[i];
            sumUy += uy_[i];
            ++moving;
        } else {
            ux_[i] = uy_[i] = 0;
        }
    }
    if (minX_ > maxX_)
        minX_ = maxX_ = 0;
    if (minY_ > maxY_)
        minY_ = maxY_ = 0;

    const double count = static_cast<double>(n);
    statistics.MeanSpeed = sumSpeed / count;
    statistics.MinSpeed = minSpeed;
    statistics.MaxSpeed = maxSpeed;
    statistics.CentreX = sumX / count;
    statistics.CentreY = sumY / count;
    if (moving > 0)
        statistics.Polarisation = std::hypot(sumUx, sumUy) / static_cast<double>(moving);

    // Second pass about the centre: spread and angular momentum.
    double sumSquares = 0, turning = 0, reach = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double rx = x_[i] - statistics.CentreX;
        const double ry = y_[i] - statistics.CentreY;
        const double squared = rx * rx + ry * ry;
        sumSquares += squared;
        if (ux_[i] != 0 || uy_[i] != 0) {
            turning += rx * uy_[i] - ry * ux_[i];
            reach += std::sqrt(squared);
        }
    }
    statistics.RadiusOfGyration = std::sqrt(sumSquares / count);
    if (reach > 0)
        statistics.Milling = std::abs(turning) / reach;

    statistics.MeanNearestNeighbourDistance = meanNearestNeighbourDistance();
    if (!(clusterDistance > 0))
        clusterDistance = DefaultClusterDistance(group);
    statistics.Clusters = countClusters(clusterDistance);
    return statistics;
}

void TGroupMeter::build(TPointGrid& grid, double cellSize) {
    const std::size_t n = x_.size();
    const double width = maxX_ - minX_;
    const double height = maxY_ - minY_;
    // Cells are never more than about twice the members: wider cells only
    // give a search more candidates, while too many cells cost memory and
    // empty-cell visits.
    const double maxCells = 2.0 * static_cast<double>(n) + 16;
    double cell = cellSize > 0 ? cellSize : 1;
    auto columns = [&] { return std::floor(width / cell) + 1; };
    auto rows = [&] { return std::floor(height / cell) + 1; };
    while (columns() * rows() > maxCells)
        cell *= 1.5;
    grid.MinX = minX_;
    grid.MinY = minY_;
    grid.Cell = cell;
    grid.Columns = static_cast<std::int64_t>(columns());
    grid.Rows = static_cast<std::int64_t>(rows());

    const std::size_t cells = static_cast<std::size_t>(grid.Columns * grid.Rows);
    grid.Start.assign(cells + 1, 0);
    cellOf_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t column = clampedCell((x_[i] - grid.MinX) / cell, grid.Columns);
        const std::int64_t row = clampedCell((y_[i] - grid.MinY) / cell, grid.Rows);
        const auto index = static_cast<std::uint32_t>(row * grid.Columns + column);
        cellOf_[i] = index;
        ++grid.Start[index + 1];
    }
    std::partial_sum(grid.Start.begin(), grid.Start.end(), grid.Start.begin());
    grid.X.resize(n);
    grid.Y.resize(n);
    grid.Index.resize(n);
    // Start[k] serves as the fill cursor of cell k and ends as the start of
    // cell k + 1; shifting it back by one cell restores the starts.
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t slot = grid.Start[cellOf_[i]]++;
        grid.X[slot] = x_[i];
        grid.Y[slot] = y_[i];
        grid.Index[slot] = static_cast<std::uint32_t>(i);
    }
    for (std::size_t k = cells; k > 0; --k)
        grid.Start[k] = grid.Start[k - 1];
    grid.Start[0] = 0;
}

double TGroupMeter::meanNearestNeighbourDistance() {
    const std::size_t n = x_.size();
    if (n < 2)
        return 0;
    // About two members a cell if they were spread evenly over their box.
    const double width = maxX_ - minX_;
    const double height = maxY_ - minY_;
    const double count = static_cast<double>(n);
    double cell = std::sqrt(2 * width * height / count);
    if (!(cell > 0))
        cell = 2 * std::max(width, height) / count;
    build(nearestGrid_, cell);
    const TPointGrid& grid = nearestGrid_;
    cell = grid.Cell;

    nearest_.resize(n);
    for (std::size_t p = 0; p < n; ++p) {
        const double px = grid.X[p];
        const double py = grid.Y[p];
        const std::int64_t cx = clampedCell((px - grid.MinX) / cell, grid.Columns);
        const std::int64_t cy = clampedCell((py - grid.MinY) / cell, grid.Rows);
        // How far the point is inside its own cell: every member outside the
        // rings searched so far is at least k cells plus this much away.
        const double left = grid.MinX + static_cast<double>(cx) * cell;
        const double bottom = grid.MinY + static_cast<double>(cy) * cell;
        const double margin =
            std::max(0.0, std::min({px - left, left + cell - px, py - bottom, bottom + cell - py}));

        double best = std::numeric_limits<double>::infinity();
        // The members of cells first .. last of one row.
        auto scan = [&](std::int64_t row, std::int64_t first, std::int64_t last) {
            const std::uint32_t begin =
                grid.Start[static_cast<std::size_t>(row * grid.Columns + first)];
            const std::uint32_t end =
                grid.Start[static_cast<std::size_t>(row * grid.Columns + last + 1)];
            for (std::uint32_t j = begin; j < end; ++j) {
                const double dx = grid.X[j] - px;
                const double dy = grid.Y[j] - py;
                const double squared = dx * dx + dy * dy;
                if (squared < best && j != p)
                    best = squared;
            }
        };
        // Ring k: the cells k steps from the point's cell in x or y.
        for (std::int64_t k = 0;; ++k) {
            const std::int64_t x0 = cx - k, x1 = cx + k, y0 = cy - k, y1 = cy + k;
            if (k > 0 && x0 < 0 && y0 < 0 && x1 >= grid.Columns && y1 >= grid.Rows)
                break;
            const std::int64_t first = std::max<std::int64_t>(x0, 0);
            const std::int64_t last = std::min(x1, grid.Columns - 1);
            if (y0 >= 0)
                scan(y0, first, last);
            if (k > 0 && y1 < grid.Rows)
                scan(y1, first, last);
            if (k > 0) {
                const std::int64_t top = std::min(y1 - 1, grid.Rows - 1);
                for (std::int64_t row = std::max<std::int64_t>(y0 + 1, 0); row <= top; ++row) {
                    if (x0 >= 0)
                        scan(row, x0, x0);
                    if (x1 < grid.Columns)
                        scan(row, x1, x1);
                }
            }
            // Shrunk a little against rounding in the cell arithmetic.
            const double unsearched = (static_cast<double>(k) * cell + margin) * (1 - 1e-9);
            if (best <= unsearched * unsearched)
                break;
        }
        nearest_[grid.Index[p]] = std::sqrt(best);
    }
    double sum = 0;
    for (const double distance : nearest_)
        sum += distance;
    return sum / count;
}

std::size_t TGroupMeter::countClusters(double clusterDistance) {
    const std::size_t n = x_.size();
    // No two members are closer than a distance of 0.
    if (n < 2 || !(clusterDistance > 0))
        return n;
    // A little wider than the distance, so that rounding in the cell
    // arithmetic cannot put two partners two cells apart.
    build(clusterGrid_, clusterDistance * (1 + 1e-9));
    const TPointGrid& grid = clusterGrid_;
    const double limit = clusterDistance * clusterDistance;

    parent_.resize(n);
    std::iota(parent_.begin(), parent_.end(), 0u);
    auto join = [&](std::uint32_t a, std::uint32_t b) {
        const std::uint32_t ra = findRoot(parent_, a);
        const std::uint32_t rb = findRoot(parent_, b);
        if (ra < rb)
            parent_[rb] = ra;
        else if (rb < ra)
            parent_[ra] = rb;
    };
    // Cells are at least the cluster distance wide, so a member's partners
    // are in its own cell or the eight around it. Each pair of cells is
    // visited once: a cell with itself, its right neighbour and the three
    // cells of the next row. The cell and its right neighbour are one run of
    // points; so are the three cells of the next row.
    for (std::int64_t row = 0; row < grid.Rows; ++row) {
        for (std::int64_t column = 0; column < grid.Columns; ++column) {
            const auto cell = static_cast<std::size_t>(row * grid.Columns + column);
            const std::uint32_t begin = grid.Start[cell];
            const std::uint32_t end = grid.Start[cell + 1];
            if (begin == end)
                continue;
            const std::uint32_t rowEnd = column + 1 < grid.Columns ? grid.Start[cell + 2] : end;
            std::uint32_t nextBegin = 0, nextEnd = 0;
            if (row + 1 < grid.Rows) {
                const std::int64_t first = std::max<std::int64_t>(column - 1, 0);
                const std::int64_t last = std::min(column + 1, grid.Columns - 1);
                nextBegin = grid.Start[static_cast<std::size_t>((row + 1) * grid.Columns + first)];
                nextEnd = grid.Start[static_cast<std::size_t>((row + 1) * grid.Columns + last + 1)];
            }
            for (std::uint32_t i = begin; i < end; ++i) {
                const double px = grid.X[i];
                const double py = grid.Y[i];
                auto test = [&](std::uint32_t j) {
                    const double dx = grid.X[j] - px;
                    const double dy = grid.Y[j] - py;
                    if (dx * dx + dy * dy < limit)
                        join(i, j);
                };
                for (std::uint32_t j = i + 1; j < rowEnd; ++j)
                    test(j);
                for (std::uint32_t j = nextBegin; j < nextEnd; ++j)
                    test(j);
            }
        }
    }
    std::size_t clusters = 0;
    for (std::uint32_t i = 0; i < n; ++i)
        if (parent_[i] == i)
            ++clusters;
    return clusters;
}

TGroupStatistics MeasureGroup(const TBugGroup& group, double clusterDistance) {
    TGroupMeter meter;
    return meter.Measure(group, clusterDistance);
}

} // namespace kova
