#include "analysis/GroupStatistics.h"

#include "foundations/Prefetch.h"
#include "steering/SteeringBehaviour.h"
#include "world/Bug.h"
#include "world/BugGroup.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace kova {

namespace {

constexpr std::size_t kReadAhead = 8;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

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

// Calls visit(row, column, cell, begin, end) for every cell of the grid that
// holds members, row by row; the cell's members are begin .. end - 1.
template <typename Grid, typename Visit> void forEachOccupiedCell(const Grid& grid, Visit&& visit) {
    for (std::int64_t row = 0; row < grid.Rows; ++row)
        for (std::int64_t column = 0; column < grid.Columns; ++column) {
            const auto cell = static_cast<std::size_t>(row * grid.Columns + column);
            const std::uint32_t begin = grid.Start[cell];
            const std::uint32_t end = grid.Start[cell + 1];
            if (begin != end)
                visit(row, column, cell, begin, end);
        }
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

void TGroupSnapshot::Take(const TBugGroup& group, double clusterDistance) {
    const std::size_t n = group.Members.size();
    X.resize(n);
    Y.resize(n);
    Vx.resize(n);
    Vy.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        // Members lie scattered over memory: ask for those a few places on
        // before they are read.
        if (i + kReadAhead < n) {
            const TBug& ahead = *group.Members[i + kReadAhead];
            PrefetchLine(&ahead.Position);
            PrefetchLine(&ahead.Velocity);
        }
        const TBug& bug = *group.Members[i];
        X[i] = static_cast<double>(bug.Position[0]);
        Y[i] = static_cast<double>(bug.Position[1]);
        Vx[i] = static_cast<double>(bug.Velocity[0]);
        Vy[i] = static_cast<double>(bug.Velocity[1]);
    }
    ClusterDistance = clusterDistance > 0 ? clusterDistance : DefaultClusterDistance(group);
}

TGroupStatistics TGroupMeter::Measure(const TBugGroup& group, double clusterDistance) {
    snapshot_.Take(group, clusterDistance);
    return Measure(snapshot_);
}

TGroupStatistics TGroupMeter::Measure(const TGroupSnapshot& snapshot) {
    TGroupStatistics statistics;
    const std::size_t n = snapshot.Size();
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
        const double x = snapshot.X[i];
        const double y = snapshot.Y[i];
        const double vx = snapshot.Vx[i];
        const double vy = snapshot.Vy[i];
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
    statistics.Clusters = countClusters(snapshot.ClusterDistance);
    return statistics;
}

void TGroupMeter::build(TPointGrid& grid, double cellSize, double cellsPerMember) {
    layout(grid, cellSize, cellsPerMember);
    fill(grid);
}

void TGroupMeter::layout(TPointGrid& grid, double cellSize, double cellsPerMember) {
    const std::size_t n = x_.size();
    const double width = maxX_ - minX_;
    const double height = maxY_ - minY_;
    // Wider cells only give a search more candidates, while too many cells
    // cost memory and visits to empty cells.
    const double maxCells = cellsPerMember * static_cast<double>(n) + 16;
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
}

void TGroupMeter::fill(TPointGrid& grid) {
    const std::size_t n = x_.size();
    const std::size_t cells = grid.Start.size() - 1;
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
    layout(nearestGrid_, cell, 2);
    // Flocking members gather in a few places, where those cells hold many.
    // With m the mean number of members sharing a member's cell, cells
    // sqrt(m / 2) times narrower hold about two again where it matters.
    double sharing = 0;
    for (std::size_t k = 1; k < nearestGrid_.Start.size(); ++k) {
        const double members = nearestGrid_.Start[k];
        sharing += members * members;
    }
    sharing /= count;
    if (sharing > 3)
        layout(nearestGrid_, nearestGrid_.Cell / std::sqrt(sharing / 2), 8);
    fill(nearestGrid_);
    const TPointGrid& grid = nearestGrid_;
    std::vector<double>& hidden = nearestGrid_.X;
    cell = grid.Cell;

    nearest_.resize(n);
    forEachOccupiedCell(grid, [&](std::int64_t row, std::int64_t column, std::size_t /*cell*/,
                                  std::uint32_t begin, std::uint32_t end) {
        // The block of this cell and the eight around it, as one run of
        // points per row.
        const std::int64_t first = std::max<std::int64_t>(column - 1, 0);
        const std::int64_t last = std::min(column + 1, grid.Columns - 1);
        std::uint32_t runBegin[3], runEnd[3];
        int runs = 0;
        for (std::int64_t r = std::max<std::int64_t>(row - 1, 0);
             r <= std::min(row + 1, grid.Rows - 1); ++r, ++runs) {
            runBegin[runs] = grid.Start[static_cast<std::size_t>(r * grid.Columns + first)];
            runEnd[runs] = grid.Start[static_cast<std::size_t>(r * grid.Columns + last + 1)];
        }
        const double left = grid.MinX + static_cast<double>(column) * cell;
        const double bottom = grid.MinY + static_cast<double>(row) * cell;
        for (std::uint32_t p = begin; p < end; ++p) {
            const double px = grid.X[p];
            const double py = grid.Y[p];
            // Members on one spot (a cell keeps them in member order, so
            // those made there together are next to each other): no
            // search, which would cost every pair of them.
            if ((p > begin && grid.X[p - 1] == px && grid.Y[p - 1] == py) ||
                (p + 1 < end && grid.X[p + 1] == px && grid.Y[p + 1] == py)) {
                nearest_[grid.Index[p]] = 0;
                continue;
            }
            double best = kInfinity;
            // The point hides from its own search as NaN, which never wins
            // std::min. Four running minima, so that the processor works on
            // four candidates at once instead of waiting for each minimum.
            hidden[p] = std::numeric_limits<double>::quiet_NaN();
            auto scan = [&](std::uint32_t from, std::uint32_t to) {
                double minima[4] = {best, kInfinity, kInfinity, kInfinity};
                auto consider = [&](double& minimum, std::uint32_t j) {
                    const double dx = grid.X[j] - px;
                    const double dy = grid.Y[j] - py;
                    minimum = std::min(minimum, dx * dx + dy * dy);
                };
                std::uint32_t j = from;
                for (; j + 4 <= to; j += 4)
                    for (std::uint32_t k = 0; k < 4; ++k)
                        consider(minima[k], j + k);
                for (; j < to; ++j)
                    consider(minima[0], j);
                best = std::min({minima[0], minima[1], minima[2], minima[3]});
            };
            for (int k = 0; k < runs; ++k)
                scan(runBegin[k], runEnd[k]);
            // How far the point is inside its own cell: every member
            // outside the k rings of cells searched is at least k cells
            // plus this much away (shrunk a little against rounding in
            // the cell arithmetic).
            const double margin = std::max(
                0.0, std::min({px - left, left + cell - px, py - bottom, bottom + cell - py}));
            auto reached = [&](std::int64_t k) {
                const double unsearched = (static_cast<double>(k) * cell + margin) * (1 - 1e-9);
                return best <= unsearched * unsearched;
            };
            // Rings 2, 3, ... of cells around the point's cell until the
            // nearest found is nearer than anything beyond.
            for (std::int64_t k = 2; !reached(k - 1); ++k) {
                const std::int64_t x0 = column - k, x1 = column + k;
                const std::int64_t y0 = row - k, y1 = row + k;
                if (x0 < 0 && y0 < 0 && x1 >= grid.Columns && y1 >= grid.Rows)
                    break;
                const std::int64_t from = std::max<std::int64_t>(x0, 0);
                const std::int64_t to = std::min(x1, grid.Columns - 1);
                auto cells = [&](std::int64_t r, std::int64_t a, std::int64_t b) {
                    scan(grid.Start[static_cast<std::size_t>(r * grid.Columns + a)],
                         grid.Start[static_cast<std::size_t>(r * grid.Columns + b + 1)]);
                };
                if (y0 >= 0)
                    cells(y0, from, to);
                if (y1 < grid.Rows)
                    cells(y1, from, to);
                const std::int64_t top = std::min(y1 - 1, grid.Rows - 1);
                for (std::int64_t r = std::max<std::int64_t>(y0 + 1, 0); r <= top; ++r) {
                    if (x0 >= 0)
                        cells(r, x0, x0);
                    if (x1 < grid.Columns)
                        cells(r, x1, x1);
                }
            }
            hidden[p] = px;
            nearest_[grid.Index[p]] = std::sqrt(best);
        }
    });
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
    const double limit = clusterDistance * clusterDistance;
    auto closer = [&](const TPointGrid& grid, std::uint32_t i, std::uint32_t j) {
        const double dx = grid.X[j] - grid.X[i];
        const double dy = grid.Y[j] - grid.Y[i];
        return dx * dx + dy * dy < limit;
    };
    auto join = [&](std::uint32_t a, std::uint32_t b) {
        const std::uint32_t ra = findRoot(parent_, a);
        const std::uint32_t rb = findRoot(parent_, b);
        if (ra < rb)
            parent_[rb] = ra;
        else if (rb < ra)
            parent_[ra] = rb;
    };
    parent_.resize(n);

    // Cells whose diagonal is shorter than the distance (a little shorter,
    // against rounding in the cell arithmetic): the members of one cell are
    // all one cluster, and two cells are joined as soon as one pair of their
    // members is close enough, which in a dense flock is mostly found at once
    // or not needed at all because the cells are joined already. Partners lie
    // at most two cells away in x and in y.
    const double fineCell = clusterDistance / std::sqrt(2.0) * (1 - 1e-9);
    build(clusterGrid_, fineCell, 4);
    const TPointGrid& grid = clusterGrid_;
    if (grid.Cell == fineCell) {
        // The box around each cell's members, in a copy of the grid with two
        // more columns on either side and two more rows below, where empty
        // and added cells have an empty box: every neighbour of a cell then
        // exists, and the box test alone passes over empty ones.
        const std::int64_t stride = grid.Columns + 4;
        boxes_.assign(static_cast<std::size_t>(stride * (grid.Rows + 2)),
                      TBox{kInfinity, -kInfinity, kInfinity, -kInfinity, 0, 0});
        forEachOccupiedCell(grid, [&](std::int64_t row, std::int64_t column, std::size_t,
                                      std::uint32_t begin, std::uint32_t end) {
            TBox& box = boxes_[static_cast<std::size_t>(row * stride + column + 2)];
            box.First = begin;
            box.End = end;
            for (std::uint32_t i = begin; i < end; ++i) {
                parent_[i] = begin;
                box.MinX = std::min(box.MinX, grid.X[i]);
                box.MaxX = std::max(box.MaxX, grid.X[i]);
                box.MinY = std::min(box.MinY, grid.Y[i]);
                box.MaxY = std::max(box.MaxY, grid.Y[i]);
            }
        });
        // The boxes around the members of two cells settle most pairs of
        // cells without a look at their members: too far apart for any pair
        // to be close enough, or close enough for every pair. The margins
        // leave the cases that rounding could decide to the members.
        const double apart = limit * (1 + 1e-9);
        const double together = limit * (1 - 1e-9);
        // Each pair of cells once: the two cells to the right, and the five
        // cells of each of the next two rows.
        constexpr int kOffsets[][2] = {{1, 0}, {2, 0},  {-2, 1}, {-1, 1}, {0, 1}, {1, 1},
                                       {2, 1}, {-2, 2}, {-1, 2}, {0, 2},  {1, 2}, {2, 2}};
        std::int64_t steps[std::size(kOffsets)];
        for (std::size_t k = 0; k < std::size(kOffsets); ++k)
            steps[k] = kOffsets[k][1] * stride + kOffsets[k][0];
        forEachOccupiedCell(grid, [&](std::int64_t row, std::int64_t column, std::size_t,
                                      std::uint32_t begin, std::uint32_t end) {
            const auto here = static_cast<std::size_t>(row * stride + column + 2);
            const TBox a = boxes_[here];
            // The cell's cluster, kept up to date as it is joined.
            std::uint32_t root = findRoot(parent_, begin);
            for (const std::int64_t step : steps) {
                const TBox& b = boxes_[here + static_cast<std::size_t>(step)];
                const double gapX = std::max({0.0, b.MinX - a.MaxX, a.MinX - b.MaxX});
                const double gapY = std::max({0.0, b.MinY - a.MaxY, a.MinY - b.MaxY});
                if (!(gapX * gapX + gapY * gapY < apart))
                    continue;
                const std::uint32_t otherRoot = findRoot(parent_, b.First);
                if (otherRoot == root)
                    continue;
                const double spanX = std::max(a.MaxX, b.MaxX) - std::min(a.MinX, b.MinX);
                const double spanY = std::max(a.MaxY, b.MaxY) - std::min(a.MinY, b.MinY);
                bool joined = spanX * spanX + spanY * spanY < together;
                for (std::uint32_t i = begin; i < end && !joined; ++i)
                    for (std::uint32_t j = b.First; j < b.End && !joined; ++j)
                        joined = closer(grid, i, j);
                if (joined) {
                    // Both are roots: the smaller index becomes the root.
                    parent_[std::max(root, otherRoot)] = std::min(root, otherRoot);
                    root = std::min(root, otherRoot);
                }
            }
        });
    } else {
        // The distance is small against the members' spread, and cells that
        // fine would be too many: cells at least the distance wide, where a
        // member's partners are in its own cell or the eight around it. Each
        // pair of cells is visited once: a cell with itself, its right
        // neighbour and the three cells of the next row. The cell and its
        // right neighbour are one run of points; so are the three cells of
        // the next row.
        build(clusterGrid_, clusterDistance * (1 + 1e-9), 4);
        std::iota(parent_.begin(), parent_.end(), 0u);
        forEachOccupiedCell(grid, [&](std::int64_t row, std::int64_t column, std::size_t cell,
                                      std::uint32_t begin, std::uint32_t end) {
            const std::uint32_t rowEnd = column + 1 < grid.Columns ? grid.Start[cell + 2] : end;
            std::uint32_t nextBegin = 0, nextEnd = 0;
            if (row + 1 < grid.Rows) {
                const std::int64_t first = std::max<std::int64_t>(column - 1, 0);
                const std::int64_t last = std::min(column + 1, grid.Columns - 1);
                nextBegin = grid.Start[static_cast<std::size_t>((row + 1) * grid.Columns + first)];
                nextEnd = grid.Start[static_cast<std::size_t>((row + 1) * grid.Columns + last + 1)];
            }
            for (std::uint32_t i = begin; i < end; ++i) {
                for (std::uint32_t j = i + 1; j < rowEnd; ++j)
                    if (closer(grid, i, j))
                        join(i, j);
                for (std::uint32_t j = nextBegin; j < nextEnd; ++j)
                    if (closer(grid, i, j))
                        join(i, j);
            }
        });
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
