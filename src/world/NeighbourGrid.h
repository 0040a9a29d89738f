#pragma once

#include "foundations/Matrix.h"
#include "foundations/Prefetch.h"
#include "foundations/SplitExtended.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kova {

class TBug;

// A member's position and velocity as the grid keeps them, next to those of
// the other members; one cache line each. The components are split into
// doubles, which the sums over a member's neighbours read faster. A state
// that does not split exactly (a value beyond the doubles' range or very near
// zero) is marked, and its member's own values stand in for it.
struct alignas(64) TMemberState {
    TSplitExtended Position[2];
    TSplitExtended Velocity[2];

    TMemberState() = default;
    TMemberState(const Vector& position, const Vector& velocity);
    bool Exact() const { return !std::isnan(Position[0].Lo); }
    // The values, when Exact.
    Vector PositionValue() const { return Vector(Position[0].Value(), Position[1].Value()); }
    Vector VelocityValue() const { return Vector(Velocity[0].Value(), Velocity[1].Value()); }
};

// One member in a cell of the grid: its position, rounded to double and then
// to float, for a quick first test, and its place in the group's member list.
// A search reads the small entries of a few cells one after the other, and
// only the members that pass the quick test send it to their exact state. Floats keep the entries
// at 12 bytes, so that a search reads fewer cache lines and the grid of a
// large group stays in the processor's cache; the cells themselves are found
// from the positions in double.
struct TGridEntry {
    float X = 0;
    float Y = 0;
    std::uint32_t Index = 0;
};

// A uniform grid over the members of one group, used to find the members near
// a point without testing every member. It only narrows the search: callers
// still apply the exact range test to every candidate, so results are the same
// as with a walk over all members.
//
// Built for one thread, the grid follows each member as it moves within a
// frame. Built for concurrent steps, members stay in the cells they started
// the frame in and only their entries' positions follow them, so that steps
// on different threads never move each other's entries; searches reach
// further by the distance a member can move in the frame, and wrap around the
// arena's edges, across which members that leave the arena come back in.
class TNeighbourGrid {
public:
    // Indexes the members at their current positions over the arena, with
    // cells at least cellSize wide (wider when the arena would need too many),
    // or keeps the grid as it stands (see MembersMayHaveChanged).
    void Build(const std::vector<std::unique_ptr<TBug>>& members, Extended arenaWidth,
               Extended arenaHeight, Extended cellSize);
    // Member `index` has moved (or changed its velocity). In a grid built for
    // concurrent steps the member keeps its cell; its position must then be
    // within the motion allowance of where it started the frame, around the
    // arena's edges.
    void Update(std::uint32_t index, const TBug& member);
    // Member `index` has moved anywhere: it is filed in the cell where it now
    // is. In a grid built for concurrent steps no other step may run meanwhile.
    void Relocate(std::uint32_t index, const TBug& member);

    // Concurrent steps: SetMemberCount sizes the grid, and CaptureState (on
    // any threads, for different members) copies each member's state.
    // FileCapturedStates then files them all, with cells at least cellSize
    // wide and searches reaching `allowance` further. It returns false,
    // leaving the grid unbuilt, when the arena holds fewer than four cells
    // along an axis, too few for searches that wrap around it.
    void SetMemberCount(std::size_t count);
    void CaptureState(std::uint32_t index, const TBug& member);
    bool FileCapturedStates(Extended arenaWidth, Extended arenaHeight, Extended cellSize,
                            Extended allowance);
    // The same filing on several threads, for the member list cut into
    // `parts` runs, parts in list order: LayOutCells (which returns as
    // FileCapturedStates does), PlaceMembers for every run, on any threads,
    // SumPlacedMembers, then FileMembers for every run, on any threads. The
    // grid may be searched once every run is filed.
    bool LayOutCells(Extended arenaWidth, Extended arenaHeight, Extended cellSize,
                     Extended allowance, unsigned parts);
    void PlaceMembers(unsigned part, std::uint32_t begin, std::uint32_t end);
    void SumPlacedMembers();
    void FileMembers(unsigned part, std::uint32_t begin, std::uint32_t end);
    // The grid's columns, the members filed in a column, and the column
    // member `index` is filed in.
    std::uint32_t Columns() const { return columns_; }
    std::size_t MembersInColumn(std::uint32_t column) const;
    std::uint32_t ColumnOfMember(std::uint32_t index) const { return placeOfMember_[index].Column; }
    // The position and velocity of member `index` as they stand now, split.
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
    // What Update writes for member `index` of a grid built for concurrent
    // steps. For about half the members another core filed the entry and
    // read the state while capturing it; asking ahead to own both lines
    // saves the step from waiting for them.
    void PrefetchUpdate(std::uint32_t index) const {
        const TPlace& place = placeOfMember_[index];
        PrefetchLineForWrite(&states_[index]);
        PrefetchLineForWrite(&rowEntries_[place.Row][place.Slot]);
    }
    // The entries that a search around `point` as far as `range` will read.
    // Only a grid too large for the processor's cache asks for them; in a
    // smaller one they are most often there already, and asking costs more
    // than it saves.
    void PrefetchSearch(const Vector& point, Extended range) const {
        if (built_ && prefetchSearches_)
            ForEachCandidateRun(point, range, [](std::span<const TGridEntry> run) {
                PrefetchRange(run.data(), run.data() + run.size());
            });
    }
    // One thread: the same, as far as the range the grid was built for.
    void PrefetchSearch(const Vector& point) const { PrefetchSearch(point, builtCellSize_); }

    // Members may have changed since the grid last followed them: the first
    // search of the next member loop builds the grid, and the loop then keeps
    // it up to date as members move. A grid built for one thread that still
    // holds every member's state bit for bit, for the same arena and cell
    // size, is taken as it stands instead of being built anew.
    void MembersMayHaveChanged() {
        reusable_ = built_ && !concurrent_;
        built_ = false;
        concurrent_ = false;
    }
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
    // Sizes the cells, with whole cells none narrower than cellSize, for
    // filing the members in `parts` runs.
    void layOut(Extended arenaWidth, Extended arenaHeight, Extended cellSize, bool wholeCells,
                unsigned parts);
    // Files every captured state in one run.
    void fileAllStates();
    // Whether the grid's data is so much larger than the processor's cache
    // that searches are worth asking for ahead.
    bool outgrowsCache() const;
    std::size_t cellStartCount() const { return static_cast<std::size_t>(columns_ + 1) * rows_; }
    // The cells [first, last] along an axis of `count` cells, `extent` long,
    // that hold the points within `reach` of `centre`, as up to two runs when
    // the search wraps around the edges; returns the number of runs.
    struct TCellRun {
        std::uint32_t First;
        std::uint32_t Last;
    };
    int wrappedRuns(double centre, double reach, double extent, std::uint32_t count,
                    TCellRun (&runs)[2]) const;

    // Whether the members are still where the grid has them.
    bool statesUnchanged(const std::vector<std::unique_ptr<TBug>>& members) const;

    bool built_ = false;
    // The grid followed every member to the end of the last member loop.
    bool reusable_ = false;
    // What Build was last asked for.
    Extended builtWidth_ = 0;
    Extended builtHeight_ = 0;
    Extended builtCellSize_ = 0;
    // Built for concurrent steps: members keep their cells, searches reach
    // `allowance_` further and wrap around the arena.
    bool concurrent_ = false;
    bool prefetchSearches_ = false;
    double allowance_ = 0;
    double width_ = 0;
    double height_ = 0;
    double cellSize_ = 1;
    std::uint32_t columns_ = 1;
    std::uint32_t rows_ = 1;
    // Each row of cells keeps its members' entries in one array ordered by
    // column, so that the cells of a row next to each other are read as one
    // run. The entries of column c of a row lie from its c-th column start up
    // to the next.
    std::vector<std::vector<TGridEntry>> rowEntries_;
    std::vector<std::uint32_t> columnStarts_;
    // For each run of the member list, laid out as columnStarts_: its
    // members in each cell while they are placed, then the next free slot
    // for them in the cell while they are filed. A cell holds the members of
    // one run after those of the runs before, so that it lists its members
    // in list order, as filing them in one run would.
    unsigned parts_ = 1;
    std::vector<std::uint32_t> partSlots_;
    std::vector<TPlace> placeOfMember_;
    std::vector<TMemberState> states_;
};

template <typename VisitRun>
bool TNeighbourGrid::ForEachCandidateRun(const Vector& point, Extended range,
                                         VisitRun&& visit) const {
    // A slightly wider square than the range keeps members whose distance
    // rounds to just below the range inside it.
    const Extended reach = range * (1 + 1e-9L) + 1e-9L;
    if (concurrent_) {
        TCellRun columnRuns[2];
        TCellRun rowRuns[2];
        const double wide = static_cast<double>(reach) + allowance_;
        const int columnRunCount =
            wrappedRuns(static_cast<double>(point[0]), wide, width_, columns_, columnRuns);
        const int rowRunCount =
            wrappedRuns(static_cast<double>(point[1]), wide, height_, rows_, rowRuns);
        for (int r = 0; r < rowRunCount; ++r)
            for (std::uint32_t row = rowRuns[r].First; row <= rowRuns[r].Last; ++row) {
                const std::uint32_t* starts = columnStarts(row);
                const TGridEntry* entries = rowEntries_[row].data();
                for (int c = 0; c < columnRunCount; ++c)
                    visit(std::span<const TGridEntry>(entries + starts[columnRuns[c].First],
                                                      entries + starts[columnRuns[c].Last + 1]));
            }
        return true;
    }
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
