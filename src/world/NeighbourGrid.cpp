#include "world/NeighbourGrid.h"

#include "foundations/GridAxis.h"
#include "world/Bug.h"

#include <algorithm>
#include <cmath>

namespace kova {

namespace {

// The grid never has many more cells than members: with few bugs in a large
// arena, cells grow instead.
constexpr Extended kCellsPerMember = 4;
constexpr Extended kMinimumCells = 64;
constexpr std::size_t kBuildLookahead = 8;

// Cells along one axis: at least one, and never more than the whole grid may
// have, so that an arena far longer than it is wide (a file can hold any size)
// cannot ask for more cells than memory or a 32-bit count holds.
std::uint32_t axisCount(Extended extent, Extended cellSize, Extended maxCells) {
    const Extended count = ceill(extent / cellSize);
    if (!(count > 1))
        return 1;
    return static_cast<std::uint32_t>(std::min(count, maxCells));
}

TGridEntry entryOf(std::uint32_t index, const TBug& member) {
    return {static_cast<double>(member.Position[0]), static_cast<double>(member.Position[1]),
            index};
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
    cellSize_ = static_cast<double>(cell);
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
        // Members lie scattered in memory; ask for a later one's motion while
        // this one is filed.
        if (i + kBuildLookahead < members.size()) {
            const TBug& later = *members[i + kBuildLookahead];
            PrefetchLine(&later.Position);
            PrefetchLine(&later.Velocity);
        }
        states_[i] = {members[i]->Position, members[i]->Velocity};
        insert(entryOf(i, *members[i]));
    }
    built_ = true;
}

std::uint32_t TNeighbourGrid::columnOf(double x) const {
    return GridAxisCell(x, cellSize_, columns_);
}

std::uint32_t TNeighbourGrid::rowOf(double y) const {
    return GridAxisCell(y, cellSize_, rows_);
}

std::uint32_t TNeighbourGrid::cellOf(const TGridEntry& entry) const {
    return rowOf(entry.Y) * columns_ + columnOf(entry.X);
}

void TNeighbourGrid::insert(const TGridEntry& entry) {
    const std::uint32_t cell = cellOf(entry);
    std::vector<TGridEntry>& list = cells_[cell];
    cellOfMember_[entry.Index] = cell;
    slotOfMember_[entry.Index] = static_cast<std::uint32_t>(list.size());
    list.push_back(entry);
}

void TNeighbourGrid::erase(std::uint32_t index) {
    std::vector<TGridEntry>& list = cells_[cellOfMember_[index]];
    const std::uint32_t slot = slotOfMember_[index];
    list[slot] = list.back();
    slotOfMember_[list[slot].Index] = slot;
    list.pop_back();
}

void TNeighbourGrid::Update(std::uint32_t index, const TBug& member) {
    states_[index] = {member.Position, member.Velocity};
    const TGridEntry entry = entryOf(index, member);
    if (cellOf(entry) == cellOfMember_[index]) {
        cells_[cellOfMember_[index]][slotOfMember_[index]] = entry;
        return;
    }
    erase(index);
    insert(entry);
}

} // namespace kova
