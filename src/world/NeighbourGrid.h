#pragma once

#include "foundations/Matrix.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kova {

class TBug;

// Copies of a member's position and velocity, kept next to those of the other
// members so that a search does not visit every member object it examines.
struct TMemberState {
    Vector Position;
    Vector Velocity;
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
    // The indices, in ascending member order, of every member that can lie
    // closer than `range` to `point` (and possibly some that do not). Returns
    // false, with `out` empty, when the search would cover most of the grid and
    // a walk over all members is cheaper.
    bool Candidates(const Vector& point, Extended range, std::vector<std::uint32_t>& out) const;

    // Forgets the members' positions; the first search of a member loop builds
    // the grid, and the loop then keeps it up to date as members move.
    void Reset() { built_ = false; }
    bool Built() const { return built_; }

private:
    std::uint32_t columnOf(Extended x) const;
    std::uint32_t rowOf(Extended y) const;
    std::uint32_t cellOf(const Vector& position) const;
    void insert(std::uint32_t index, std::uint32_t cell);
    void erase(std::uint32_t index);

    bool built_ = false;
    Extended cellSize_ = 1;
    std::uint32_t columns_ = 1;
    std::uint32_t rows_ = 1;
    // Member indices per cell, in no particular order, and for each member its
    // cell and its place in that cell's list.
    std::vector<std::vector<std::uint32_t>> cells_;
    std::vector<std::uint32_t> cellOfMember_;
    std::vector<std::uint32_t> slotOfMember_;
    std::vector<TMemberState> states_;
};

} // namespace kova
