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

    // Calls visit(entries) with runs of entries that hold, between them, every
    // member that can lie closer than `range` to `point`, and others; one run
    // per row of cells searched. Entries come in no particular order. Returns
    // false without visiting any when the search would cover most of the grid
    // and a walk over all members is cheaper.
    template <typename VisitRun>
    bool ForEachCandidateRun(const Vector& point, Extended range, VisitRun&& visit) const;

    // A member's state, for a neighbour about to be read.
    void PrefetchState(std::uint32_t index) const { PrefetchLine(&states_[index]); }

    // Forgets the members' positions; the first search of a member loop builds
    // the grid, and the loop then keeps it up to date as members move.
    void Reset() { built_ = false; }
    bool Built() const { return built_; }

private:
    // Where a member's entry is: its cell and its slot in the row's entries.
    struct TPlace {
        std::uint32_t Row = 0;
        std::uint32_t Column = 0;
        std::uint32_t Slot = 0;
    };

    // Cells are found from coordinates rounded to double (see GridAxisCell).
    std::uint32_t columnOf(double x) const;
    std::uint32_t rowOf(double y) const;
    // Where the start of a column of a row is kept in columnStarts_; each row
    // has one more, its size.
    std::size_t startIndex(std::uint32_t row, std::uint32_t column) const {
        return static_cast<std::size_t>(row) * (columns_ + 1) + column;
    }
    // The first slot of each column of a row, and behind them the row's size.
    std::uint32_t* columnStarts(std::uint32_t row) { return &columnStarts_[startIndex(row, 0)]; }
    const std::uint32_t* columnStarts(std::uint32_t row) const {
        return &columnStarts_[startIndex(row, 0)];
    }
    // Moves member `index` to column `to` of its row, one column at a time;
    // `columns_` stands for the end of the row.
    void shift(std::uint32_t index, std::uint32_t to);

    bool built_ = false;
    double cellSize_ = 1;
    std::uint32_t columns_ = 1;
    std::uint32_t rows_ = 1;
    // Each row of cells keeps its members' entries in one array ordered by
    // column, so that the cells of a row next to each other are read as one
    // run. The entries of column c of a row lie from its c-th column start up
    // to the next.
    std::vector<std::vector<TGridEntry>> rowEntries_;
    std::vector<std::uint32_t> columnStarts_;
    // Build's next free slot in each cell, laid out as columnStarts_.
    std::vector<std::uint32_t> nextSlot_;
    std::vector<TPlace> placeOfMember_;
    std::vector<TMemberState> states_;
};

template <typename VisitRun>
bool TNeighbourGrid::ForEachCandidateRun(const Vector& point, Extended range,
                                         VisitRun&& visit) const {
    // A slightly wider square than the range keeps members whose distance
    // rounds to just below the range inside it.
    const Extended reach = range * (1 + 1e-9L) + 1e-9L;
    const std::uint32_t firstColumn = columnOf(static_cast<double>(point[0] - reach));
    const std::uint32_t lastColumn = columnOf(static_cast<double>(point[0] + reach));
    const std::uint32_t firstRow = rowOf(static_cast<double>(point[1] - reach));
    const std::uint32_t lastRow = rowOf(static_cast<double>(point[1] + reach));
    const std::uint64_t searched =
        static_cast<std::uint64_t>(lastColumn - firstColumn + 1) * (lastRow - firstRow + 1);
    if (searched * 2 > static_cast<std::uint64_t>(columns_) * rows_)
        return false;
    for (std::uint32_t row = firstRow; row <= lastRow; ++row) {
        const std::uint32_t* starts = columnStarts(row);
        const TGridEntry* entries = rowEntries_[row].data();
        visit(std::span<const TGridEntry>(entries + starts[firstColumn],
                                          entries + starts[lastColumn + 1]));
    }
    return true;
}

} // namespace kova
