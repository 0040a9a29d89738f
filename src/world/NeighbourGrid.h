#pragma once

#include "foundations/Matrix.h"
#include "foundations/Prefetch.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kova {

class TBug;

// A member's position and velocity as the grid keeps them, next to those of
// the other members; one cache line each.
struct alignas(64) TMemberState {
    Vector Position;
    Vector Velocity;
};

// One member in a cell of the grid: its position rounded to double for a quick
// first test and its place in the group's member list. A search reads the
// small entries of a few cells one after the other, and only the members that
// pass the quick test send it to their exact state.
struct TGridEntry {
    double X = 0;
    double Y = 0;
    std::uint32_t Index = 0;
};

// A uniform grid over the members of one group, used to find the members near
// a point without testing every member. It follows each member as it moves
// within a frame. It only narrows the search: callers still apply the exact
// range test to every candidate, so results are the same as with a walk over
// all members.
class TNeighbourGrid {
public:
    // Indexes the members at their current positions over the arena, with
    // cells at least cellSize wide (wider when the arena would need too many).
    void Build(const std::vector<std::unique_ptr<TBug>>& members, Extended arenaWidth,
               Extended arenaHeight, Extended cellSize);
    // Member `index` has moved (or changed its velocity).
    void Update(std::uint32_t index, const TBug& member);
    // The position and velocity of member `index` as they stand now.
    const TMemberState& State(std::uint32_t index) const { return states_[index]; }

    // Calls visit(entries) with the entries of each cell that can hold a member
    // closer than `range` to `point`; the cells hold other members too. Cells
    // and entries come in no particular order. Returns false without visiting
    // any when the search would cover most of the grid and a walk over all
    // members is cheaper.
    template <typename VisitCell>
    bool ForEachCandidateCell(const Vector& point, Extended range, VisitCell&& visit) const;

    // A member's state, for a neighbour about to be read.
    void PrefetchState(std::uint32_t index) const { PrefetchLine(&states_[index]); }

    // Forgets the members' positions; the first search of a member loop builds
    // the grid, and the loop then keeps it up to date as members move.
    void Reset() { built_ = false; }
    bool Built() const { return built_; }

private:
    // Cells are found from coordinates rounded to double (see GridAxisCell).
    std::uint32_t columnOf(double x) const;
    std::uint32_t rowOf(double y) const;
    std::uint32_t cellOf(const TGridEntry& entry) const;
    void insert(const TGridEntry& entry);
    void erase(std::uint32_t index);

    bool built_ = false;
    double cellSize_ = 1;
    std::uint32_t columns_ = 1;
    std::uint32_t rows_ = 1;
    // The entries of each cell, in no particular order, and for each member its
    // cell and its place in that cell's list.
    std::vector<std::vector<TGridEntry>> cells_;
    std::vector<std::uint32_t> cellOfMember_;
    std::vector<std::uint32_t> slotOfMember_;
    std::vector<TMemberState> states_;
};

template <typename VisitCell>
bool TNeighbourGrid::ForEachCandidateCell(const Vector& point, Extended range,
                                          VisitCell&& visit) const {
    // A slightly wider square than the range keeps members whose distance
    // rounds to just below the range inside it.
    const Extended reach = range * (1 + 1e-9L) + 1e-9L;
    const std::uint32_t firstColumn = columnOf(static_cast<double>(point[0] - reach));
    const std::uint32_t lastColumn = columnOf(static_cast<double>(point[0] + reach));
    const std::uint32_t firstRow = rowOf(static_cast<double>(point[1] - reach));
    const std::uint32_t lastRow = rowOf(static_cast<double>(point[1] + reach));
    const std::uint64_t searched =
        static_cast<std::uint64_t>(lastColumn - firstColumn + 1) * (lastRow - firstRow + 1);
    if (searched * 2 > cells_.size())
        return false;
    for (std::uint32_t row = firstRow; row <= lastRow; ++row)
        for (std::uint32_t column = firstColumn; column <= lastColumn; ++column)
            visit(std::span<const TGridEntry>(cells_[row * columns_ + column]));
    return true;
}

} // namespace kova
