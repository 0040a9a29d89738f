#include "world/NeighbourGrid.h"

#include "world/Bug.h"

#include <algorithm>
#include <cmath>

namespace kova {

namespace {

// The grid never has many more cells than members: with few bugs in a large
// arena, cells grow instead.
constexpr Extended kCellsPerMember = 4;
constexpr Extended kMinimumCells = 64;

// Cell index along one axis, clamped to the grid. Clamping and flooring are
// monotonic, so a point between two others never lands outside their cells;
// points off the arena share the border cells, and NaN goes to cell 0.
std::uint32_t axisCell(Extended coordinate, Extended cellSize, std::uint32_t count) {
    const Extended cell = floorl(coordinate / cellSize);
    if (!(cell > 0))
        return 0;
    if (cell >= static_cast<Extended>(count - 1))
        return count - 1;
    return static_cast<std::uint32_t>(cell);
}

// Cells along one axis: at least one, and never more than the whole grid may
// have, so that an arena far longer than it is wide (a file can hold any size)
// cannot ask for more cells than memory or a 32-bit count holds.
std::uint32_t axisCount(Extended extent, Extended cellSize, Extended maxCells) {
    const Extended count = ceill(extent / cellSize);
    if (!(count > 1))
        return 1;
    return static_cast<std::uint32_t>(std::min(count, maxCells));
}

} // namespace

void TNeighbourGrid::Build(const std::vector<std::unique_ptr<TBug>>& members, Extended arenaWidth,
                           Extended arenaHeight, Extended cellSize) {
    const Extended width = arenaWidth > 0 ? arenaWidth : 1;
    const Extended height = arenaHeight > 0 ? arenaHeight : 1;
    const Extended maxCells =
        std::max(kMinimumCells, kCellsPerMember * static_cast<Extended>(members.size()));
    Extended cell = cellSize > 0 ? cellSize : 1;
    if ((width / cell) * (height / cell) > maxCells)
        cell = sqrtl(width * height / maxCells);
    cellSize_ = cell;
    columns_ = axisCount(width, cell, maxCells);
    rows_ = axisCount(height, cell, maxCells);

    // Clearing keeps each cell's capacity, so rebuilding every frame does not
    // allocate once the grid has reached its size.
    cells_.resize(static_cast<std::size_t>(columns_) * rows_);
    for (auto& list : cells_)
        list.clear();
    cellOfMember_.resize(members.size());
    slotOfMember_.resize(members.size());
    states_.resize(members.size());
    for (std::uint32_t i = 0; i < members.size(); ++i) {
        states_[i] = {members[i]->Position, members[i]->Velocity};
        insert(i, cellOf(members[i]->Position));
    }
    built_ = true;
}

std::uint32_t TNeighbourGrid::columnOf(Extended x) const {
    return axisCell(x, cellSize_, columns_);
}

std::uint32_t TNeighbourGrid::rowOf(Extended y) const {
    return axisCell(y, cellSize_, rows_);
}

std::uint32_t TNeighbourGrid::cellOf(const Vector& position) const {
    return rowOf(position[1]) * columns_ + columnOf(position[0]);
}

void TNeighbourGrid::insert(std::uint32_t index, std::uint32_t cell) {
    std::vector<std::uint32_t>& list = cells_[cell];
    cellOfMember_[index] = cell;
    slotOfMember_[index] = static_cast<std::uint32_t>(list.size());
    list.push_back(index);
}

void TNeighbourGrid::erase(std::uint32_t index) {
    std::vector<std::uint32_t>& list = cells_[cellOfMember_[index]];
    const std::uint32_t slot = slotOfMember_[index];
    const std::uint32_t last = list.back();
    list[slot] = last;
    slotOfMember_[last] = slot;
    list.pop_back();
}

void TNeighbourGrid::Update(std::uint32_t index, const TBug& member) {
    states_[index] = {member.Position, member.Velocity};
    const std::uint32_t cell = cellOf(member.Position);
    if (cell == cellOfMember_[index])
        return;
    erase(index);
    insert(index, cell);
}

bool TNeighbourGrid::Candidates(const Vector& point, Extended range,
                                std::vector<std::uint32_t>& out) const {
    out.clear();
    // A slightly wider square than the range keeps members whose distance
    // rounds to just below the range inside it.
    const Extended reach = range * (1 + 1e-9L) + 1e-9L;
    const std::uint32_t firstColumn = columnOf(point[0] - reach);
    const std::uint32_t lastColumn = columnOf(point[0] + reach);
    const std::uint32_t firstRow = rowOf(point[1] - reach);
    const std::uint32_t lastRow = rowOf(point[1] + reach);
    const std::uint64_t searched =
        static_cast<std::uint64_t>(lastColumn - firstColumn + 1) * (lastRow - firstRow + 1);
    if (searched * 2 > cells_.size())
        return false;
    for (std::uint32_t row = firstRow; row <= lastRow; ++row)
        for (std::uint32_t column = firstColumn; column <= lastColumn; ++column) {
            const std::vector<std::uint32_t>& list = cells_[row * columns_ + column];
            out.insert(out.end(), list.begin(), list.end());
        }
    std::sort(out.begin(), out.end());
    return true;
}

} // namespace kova
