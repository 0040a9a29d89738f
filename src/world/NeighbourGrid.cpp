#include "world/NeighbourGrid.h"

#include "foundations/GridAxis.h"
#include "world/Bug.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <unistd.h>

namespace kova {

namespace {

// The grid never has many more cells than members: with few bugs in a large
// arena, cells grow instead.
constexpr Extended kCellsPerMember = 4;
constexpr Extended kMinimumCells = 64;
constexpr std::size_t kBuildLookahead = 8;
// A search wrapping around an axis with fewer cells could visit a cell twice.
constexpr std::uint32_t kLeastWrappingCells = 4;

// Cells along one axis: at least one, and never more than the whole grid may
// have, so that an arena far longer than it is wide (a file can hold any size)
// cannot ask for more cells than memory or a 32-bit count holds.
// With whole cells the count is rounded down, so that the last cell is at
// least as wide as the others (and at most twice).
std::uint32_t axisCount(Extended extent, Extended cellSize, Extended maxCells, bool wholeCells) {
    const Extended count = wholeCells ? floorl(extent / cellSize) : ceill(extent / cellSize);
    if (!(count > 1))
        return 1;
    return static_cast<std::uint32_t>(std::min(count, maxCells));
}

// Members lie scattered in memory; a loop over them asks for a later one's
// motion while it reads this one's.
void prefetchLaterMotion(const std::vector<std::unique_ptr<TBug>>& members, std::size_t i) {
    if (i + kBuildLookahead < members.size()) {
        const TBug& later = *members[i + kBuildLookahead];
        PrefetchLine(&later.Position);
        PrefetchLine(&later.Velocity);
    }
}

std::size_t secondLevelCacheBytes() {
    static const std::size_t bytes = [] {
        const long reported = sysconf(_SC_LEVEL2_CACHE_SIZE);
        return reported > 0 ? static_cast<std::size_t>(reported) : std::size_t{1} << 20;
    }();
    return bytes;
}

TGridEntry entryOf(std::uint32_t index, const TMemberState& state) {
    return {static_cast<float>(state.Position[0].Hi), static_cast<float>(state.Position[1].Hi),
            index};
}

} // namespace

TMemberState::TMemberState(const Vector& position, const Vector& velocity) {
    bool exact = true;
    for (int axis = 0; axis < 2; ++axis) {
        exact &= SplitExactly(position[axis], Position[axis]);
        exact &= SplitExactly(velocity[axis], Velocity[axis]);
    }
    // Hi stays the value rounded to double, which is what the cells and the
    // entries are found from.
    if (!exact)
        Position[0].Lo = std::numeric_limits<double>::quiet_NaN();
}

void TNeighbourGrid::Build(const std::vector<std::unique_ptr<TBug>>& members, Extended arenaWidth,
                           Extended arenaHeight, Extended cellSize) {
    if (reusable_ && SameBits(arenaWidth, builtWidth_) && SameBits(arenaHeight, builtHeight_) &&
        SameBits(cellSize, builtCellSize_) && members.size() == states_.size() &&
        statesUnchanged(members)) {
        reusable_ = false;
        built_ = true;
        return;
    }
    builtWidth_ = arenaWidth;
    builtHeight_ = arenaHeight;
    builtCellSize_ = cellSize;
    SetMemberCount(members.size());
    for (std::size_t i = 0; i < members.size(); ++i) {
        prefetchLaterMotion(members, i);
        CaptureState(static_cast<std::uint32_t>(i), *members[i]);
    }
    layOut(arenaWidth, arenaHeight, cellSize, false, 1);
    fileAllStates();
    concurrent_ = false;
    built_ = true;
    prefetchSearches_ = outgrowsCache();
}

bool TNeighbourGrid::outgrowsCache() const {
    // Consecutive members lie far apart, so each search reads cells from
    // anywhere in the grid. Measured on the flock, asking for them ahead
    // pays once the grid's data is about twice the second-level cache.
    const std::size_t bytes =
        states_.size() * (sizeof(TMemberState) + sizeof(TGridEntry) + sizeof(TPlace));
    return bytes > 2 * secondLevelCacheBytes();
}

bool TNeighbourGrid::statesUnchanged(const std::vector<std::unique_ptr<TBug>>& members) const {
    for (std::size_t i = 0; i < members.size(); ++i) {
        prefetchLaterMotion(members, i);
        const TBug& member = *members[i];
        const TMemberState& state = states_[i];
        if (!state.Exact() || !SameBits(member.Position, state.PositionValue()) ||
            !SameBits(member.Velocity, state.VelocityValue()))
            return false;
    }
    return true;
}

void TNeighbourGrid::SetMemberCount(std::size_t count) {
    reusable_ = false;
    placeOfMember_.resize(count);
    states_.resize(count);
}

void TNeighbourGrid::CaptureState(std::uint32_t index, const TBug& member) {
    const TMemberState state(member.Position, member.Velocity);
    // Most states are still as the member's last step left them. Leaving
    // those unwritten keeps their cache lines with the core that stepped the
    // member, which most likely steps it and its neighbours again.
    if (std::memcmp(&states_[index], &state, sizeof state) != 0)
        states_[index] = state;
}

bool TNeighbourGrid::FileCapturedStates(Extended arenaWidth, Extended arenaHeight,
                                        Extended cellSize, Extended allowance) {
    const bool laidOut = LayOutCells(arenaWidth, arenaHeight, cellSize, allowance, 1);
    fileAllStates();
    return laidOut;
}

bool TNeighbourGrid::LayOutCells(Extended arenaWidth, Extended arenaHeight, Extended cellSize,
                                 Extended allowance, unsigned parts) {
    layOut(arenaWidth, arenaHeight, cellSize, true, parts);
    built_ = columns_ >= kLeastWrappingCells && rows_ >= kLeastWrappingCells;
    concurrent_ = built_;
    prefetchSearches_ = outgrowsCache();
    allowance_ = static_cast<double>(allowance);
    width_ = static_cast<double>(arenaWidth);
    height_ = static_cast<double>(arenaHeight);
    return built_;
}

void TNeighbourGrid::layOut(Extended arenaWidth, Extended arenaHeight, Extended cellSize,
                            bool wholeCells, unsigned parts) {
    const Extended width = arenaWidth > 0 ? arenaWidth : 1;
    const Extended height = arenaHeight > 0 ? arenaHeight : 1;
    const Extended maxCells =
        std::max(kMinimumCells, kCellsPerMember * static_cast<Extended>(states_.size()));
    Extended cell = cellSize > 0 ? cellSize : 1;
    if ((width / cell) * (height / cell) > maxCells)
        cell = sqrtl(width * height / maxCells);
    cellSize_ = static_cast<double>(cell);
    columns_ = axisCount(width, cell, maxCells, wholeCells);
    rows_ = axisCount(height, cell, maxCells, wholeCells);

    // The entries are sorted into their cells by counting. The arrays keep
    // their capacity, so rebuilding every frame does not allocate once the
    // grid has reached its size.
    parts_ = std::max(1u, parts);
    partSlots_.assign(parts_ * cellStartCount(), 0);
    columnStarts_.resize(cellStartCount());
    rowEntries_.resize(rows_);
}

void TNeighbourGrid::fileAllStates() {
    const auto count = static_cast<std::uint32_t>(states_.size());
    PlaceMembers(0, 0, count);
    SumPlacedMembers();
    FileMembers(0, 0, count);
}

void TNeighbourGrid::PlaceMembers(unsigned part, std::uint32_t begin, std::uint32_t end) {
    std::uint32_t* counts = &partSlots_[part * cellStartCount()];
    for (std::uint32_t i = begin; i < end; ++i) {
        const TSplitExtended* position = states_[i].Position;
        TPlace& place = placeOfMember_[i];
        place.Row = rowOf(position[1].Hi);
        place.Column = columnOf(position[0].Hi);
        ++counts[startIndex(place.Row, place.Column)];
    }
}

void TNeighbourGrid::SumPlacedMembers() {
    const std::size_t startCount = cellStartCount();
    for (std::uint32_t row = 0; row < rows_; ++row) {
        std::uint32_t filed = 0;
        for (std::uint32_t column = 0; column < columns_; ++column) {
            const std::size_t cell = startIndex(row, column);
            columnStarts_[cell] = filed;
            for (unsigned part = 0; part < parts_; ++part) {
                std::uint32_t& slot = partSlots_[part * startCount + cell];
                const std::uint32_t placed = slot;
                slot = filed;
                filed += placed;
            }
        }
        columnStarts_[startIndex(row, columns_)] = filed;
        rowEntries_[row].resize(filed);
    }
}

void TNeighbourGrid::FileMembers(unsigned part, std::uint32_t begin, std::uint32_t end) {
    std::uint32_t* nextSlot = &partSlots_[part * cellStartCount()];
    for (std::uint32_t i = begin; i < end; ++i) {
        TPlace& place = placeOfMember_[i];
        place.Slot = nextSlot[startIndex(place.Row, place.Column)]++;
        rowEntries_[place.Row][place.Slot] = entryOf(i, states_[i]);
    }
}

std::size_t TNeighbourGrid::MembersInColumn(std::uint32_t column) const {
    std::size_t members = 0;
    for (std::uint32_t row = 0; row < rows_; ++row)
        members += columnStarts(row)[column + 1] - columnStarts(row)[column];
    return members;
}

std::uint32_t TNeighbourGrid::columnOf(double x) const {
    return GridAxisCell(x, cellSize_, columns_);
}

std::uint32_t TNeighbourGrid::rowOf(double y) const {
    return GridAxisCell(y, cellSize_, rows_);
}

void TNeighbourGrid::shift(std::uint32_t index, std::uint32_t to) {
    TPlace& place = placeOfMember_[index];
    std::vector<TGridEntry>& entries = rowEntries_[place.Row];
    std::uint32_t* starts = columnStarts(place.Row);
    // Trades places with the entry at `slot`, which takes the member's old one.
    const auto moveTo = [&](std::uint32_t slot) {
        if (slot != place.Slot) {
            std::swap(entries[place.Slot], entries[slot]);
            placeOfMember_[entries[place.Slot].Index].Slot = place.Slot;
            place.Slot = slot;
        }
    };
    // Rightwards: the member becomes the last entry of its column, and then,
    // with the column's end moved before it, the first of the next.
    for (; place.Column < to; ++place.Column)
        moveTo(--starts[place.Column + 1]);
    // Leftwards: the member becomes the first entry of its column, and then,
    // with the column's start moved behind it, the last of the one before.
    for (; place.Column > to; --place.Column)
        moveTo(starts[place.Column]++);
}

void TNeighbourGrid::Update(std::uint32_t index, const TBug& member) {
    if (!concurrent_) {
        Relocate(index, member);
        return;
    }
    states_[index] = {member.Position, member.Velocity};
    const TPlace& place = placeOfMember_[index];
    rowEntries_[place.Row][place.Slot] = entryOf(index, states_[index]);
}

int TNeighbourGrid::wrappedRuns(double centre, double reach, double extent, std::uint32_t count,
                                TCellRun (&runs)[2]) const {
    const double low = centre - reach;
    const double high = centre + reach;
    runs[0] = {GridAxisCell(std::max(low, 0.0), cellSize_, count),
               GridAxisCell(std::min(high, extent), cellSize_, count)};
    if (low < 0) {
        runs[1] = {GridAxisCell(extent + low, cellSize_, count), count - 1};
        return 2;
    }
    if (high > extent) {
        runs[1] = {0, GridAxisCell(high - extent, cellSize_, count)};
        return 2;
    }
    return 1;
}

void TNeighbourGrid::Relocate(std::uint32_t index, const TBug& member) {
    states_[index] = {member.Position, member.Velocity};
    const TGridEntry entry = entryOf(index, states_[index]);
    const TSplitExtended* position = states_[index].Position;
    const std::uint32_t row = rowOf(position[1].Hi);
    const std::uint32_t column = columnOf(position[0].Hi);
    TPlace& place = placeOfMember_[index];
    if (row != place.Row) {
        // Leave the old row at its end, and join the new one at its end.
        shift(index, columns_);
        rowEntries_[place.Row].pop_back();
        std::vector<TGridEntry>& entries = rowEntries_[row];
        place = {row, columns_, static_cast<std::uint32_t>(entries.size())};
        entries.push_back(entry);
    }
    if (column != place.Column)
        shift(index, column);
    rowEntries_[place.Row][place.Slot] = entry;
}

} // namespace kova
