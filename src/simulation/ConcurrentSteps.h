#pragma once

#include "foundations/WorkerPool.h"
#include "steering/ObstacleIndex.h"
#include "world/Bug.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace kova {

class TBugGroup;

// How much of the stepping ran on several threads, since the counts were
// last cleared.
struct TConcurrency {
    std::uint64_t GroupFrames = 0;
    // Group frames whose members were stepped on several threads.
    std::uint64_t ConcurrentGroupFrames = 0;
    std::uint64_t ConcurrentMembers = 0;
    // Members of those frames that had to step while no other member did.
    std::uint64_t ExclusiveMembers = 0;
    // The threads' time spent stepping, and the time the concurrent frames
    // took on the clock: their ratio is the average number of members in
    // flight.
    double SteppingSeconds = 0;
    double WallSeconds = 0;
    double MembersInFlight() const { return WallSeconds > 0 ? SteppingSeconds / WallSeconds : 1; }
};

// Steps the members of one group on several threads with exactly the results
// of stepping them one after another in list order, each member seeing the
// new states of those before it and the old states of those after it.
//
// A member's step reads only the members its group behaviours perceive, and
// they lie within its sensor range. Members far apart can therefore step at
// the same time, in any order: a member waits only for the earlier members it
// may read or that may read it. The frame's neighbour grid tells which those
// are: members stay filed in the cells where the frame found them (searches
// reach further by the distance a member can move in one frame), the grid's
// columns are dealt out to the threads in bands, and each thread steps its
// band's members in list order. A member in a band's first or last column
// steps once the neighbouring band has stepped every member of its facing
// column that comes earlier in the list; until then it is put aside, and the
// band steps on with its later members that lie at least two columns away
// from every member put aside. When no member reads another (the
// group has no group behaviours), nobody waits for anybody: the list is dealt
// out in runs instead.
//
// A member with a target bug in its own group reads that bug wherever it is:
// of the two, the later in the list steps only once every band has stepped
// its members up to the earlier one. Sensing a target bug writes its position
// into the behaviour, which members share when a trigger lent them its list:
// for a target in another group, which stays put while this group steps, it
// is written before the frame, and sensing then finds it in place.
//
// Members whose step cannot be bounded so (a trigger due this frame draws
// random numbers in list order; a group behaviour without a sensor range reads
// members anywhere; a target bug of the same group in a lent list would be
// written by several members; an unbounded speed or a place outside the
// arena) step exclusively: after every earlier member and before any later
// one.
class TConcurrentStepper {
public:
    TConcurrentStepper();
    ~TConcurrentStepper();
    TConcurrentStepper(const TConcurrentStepper&) = delete;
    TConcurrentStepper& operator=(const TConcurrentStepper&) = delete;

    // 1 steps every group on the calling thread.
    void SetThreads(unsigned threads);
    unsigned Threads() const { return threads_; }
    // Groups with fewer members per thread are stepped on one thread, which
    // is then faster.
    void SetLeastMembersPerThread(std::size_t members) { leastMembersPerThread_ = members; }

    // Readies the group's frame for StepPrepared: captures the members'
    // states into the group's neighbour grid and files them. False when the
    // group is stepped on one thread this frame (the grid is then left
    // unbuilt).
    bool Prepare(TBugGroup& group, const TFrameContext& frame);
    // Steps every member of the prepared group once.
    void StepPrepared();

    const TConcurrency& Concurrency() const { return concurrency_; }
    void ClearConcurrency() { concurrency_ = {}; }

private:
    struct TBandProgress;
    class TBandWalk;
    // What is kept of each group from frame to frame: where its seekers
    // found their targets in its list last, and how many frames to step on
    // one thread before classifying its members again.
    using TTargetIndexes = std::unordered_map<const TBug*, std::uint32_t>;
    struct TGroupRecord {
        TTargetIndexes TargetIndexes;
        unsigned FramesToSkip = 0;
        unsigned NextSkip = 1;
    };
    // A member with a target bug in its own group.
    struct TSeeker {
        std::uint32_t Index;
        const TBug* Target;
    };
    // Member `Later` steps once every band has stepped its members up to
    // `Earlier`.
    struct TDependency {
        std::uint32_t Later;
        std::uint32_t Earlier;
    };
    // What a worker's classification found. Each worker's has cache lines of
    // its own, as the worker writes to it for every member.
    struct alignas(64) TWorkerResult {
        // Some member has a group behaviour, and so reads other members.
        bool ReadsMembers = false;
        Extended LargestRange = 0;
        Extended LargestMove = 0;
        std::vector<std::uint32_t> Exclusive;
        std::vector<TSeeker> Seekers;
        // Behaviours of lent lists that follow a bug of another group.
        std::vector<TSteeringBehaviour*> SharedTargets;
    };
    // The members a worker classifies and files: a run of the list.
    struct TMemberRun {
        std::uint32_t Begin;
        std::uint32_t End;
    };
    // Prepare's work once the group is large enough: false when the frame
    // steps on one thread after all.
    bool classifyAndFile(TBugGroup& group, const TFrameContext& frame, TGroupRecord& record);
    TMemberRun runOf(unsigned worker) const;
    void classifyMembers(unsigned worker);
    // False when the member must step exclusively. Its seekers of members
    // of the group and its shared targets are added to `result`.
    bool boundsStepOf(std::uint32_t index, const TBug& bug, TWorkerResult& result,
                      bool& readsMembers, Extended& range, Extended& move) const;
    // Orders every seeker after its target or its target after it, whichever
    // comes later in the list, finding the targets through `indexOfTarget`,
    // which it brings up to date. False when a target is not a member.
    bool orderSeekers(TTargetIndexes& indexOfTarget);
    // dealColumns deals the grid's columns out in bands of about equal member
    // counts; placeInBands puts a run's members in the bands of their columns.
    void dealColumns(const TNeighbourGrid& grid);
    void placeInBands(const TNeighbourGrid& grid, TMemberRun run);

    unsigned threads_ = 1;
    std::size_t leastMembersPerThread_ = 2000;
    std::unique_ptr<TWorkerPool> pool_;
    std::vector<TObstacleIndex> obstacleIndexes_;
    std::vector<TWorkerResult> results_;

    // The frame being stepped.
    TBugGroup* group_ = nullptr;
    TFrameContext frame_;
    Extended rangeLimit_ = 0;
    Extended moveLimit_ = 0;
    std::vector<std::uint8_t> exclusive_;
    std::vector<std::uint32_t> exclusiveMembers_;
    std::atomic<std::uint32_t> nextExclusive_{0};
    // In the order of `Later`, one for each member that waits.
    std::vector<TDependency> dependencies_;
    std::unordered_map<const TBugGroup*, TGroupRecord> records_;
    // Members that read other members are dealt out in bands of the grid's
    // columns; members that read none, in runs of the list.
    bool gridded_ = false;
    // The furthest a member's search reaches this frame.
    Extended searchRange_ = 0;
    unsigned bands_ = 0;
    std::vector<std::uint32_t> bandOfMember_;
    // A member's column counted from its band's first, and each band's width.
    std::vector<std::uint32_t> columnInBand_;
    std::vector<std::uint32_t> columnsInBand_;
    std::vector<std::uint32_t> bandOfColumn_;
    // Behind the last band's first column, the column count.
    std::vector<std::uint32_t> firstColumnOfBand_;
    std::unique_ptr<TBandProgress[]> progress_;
    std::unique_ptr<TBandWalk[]> walks_;

    TConcurrency concurrency_;
};

} // namespace kova
