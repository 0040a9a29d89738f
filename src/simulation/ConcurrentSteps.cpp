#include "simulation/ConcurrentSteps.h"

#include "steering/SteeringBehaviour.h"
#include "steering/TargetBehaviours.h"
#include "world/BugGroup.h"
#include "world/Trigger.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace kova {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// Ranges and moves beyond this share of the arena's shorter side would leave
// the grid too few cells to deal out; such members step exclusively.
constexpr Extended kLargestShareOfArena = 1.0L / 5;
// A group whose frames keep stepping on one thread is tried again after at
// most this many frames.
constexpr unsigned kMostFramesSkipped = 16;
// Beyond this share of exclusive members a frame is stepped on one thread.
// Every exclusive member makes all bands meet, and on the flock at 100,000
// members two threads were no faster than one once every 20th member was
// exclusive.
constexpr std::size_t kMembersPerExclusive = 20;
// Cells are this much wider than the furthest search reaches, so that
// rounding never lets a search cover more than three of them.
constexpr Extended kCellMargin = 1.01L;

// Members are classified so fast that their data must be asked for well
// ahead.
constexpr std::size_t kClassifyPrefetchSpacing = 4;

using TClock = std::chrono::steady_clock;

double secondsSince(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

void pause() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
}

// Waits until the counter is above `index`: spinning at first, as another
// core usually moves it on within microseconds, then giving the processor
// away, at last for a while at a time, in case the threads outnumber the
// cores and the one to wait for is not running.
void waitUntilAbove(const std::atomic<std::uint32_t>& counter, std::uint32_t index,
                    double& waitedSeconds) {
    if (counter.load(std::memory_order_acquire) > index)
        return;
    constexpr int kSpins = 2000;
    constexpr int kYields = 200;
    const TClock::time_point start = TClock::now();
    for (int round = 0; counter.load(std::memory_order_acquire) <= index; ++round) {
        if (round < kSpins)
            pause();
        else if (round < kSpins + kYields)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
    waitedSeconds += secondsSince(start);
}

bool isGroupBehaviour(std::uint8_t kind) {
    return kind == bkCohesion || kind == bkAlignment || kind == bkSeparation;
}

} // namespace

// One band's progress: the smallest member index it has not stepped yet, of
// all its members and of those in its first and last columns (kNone once
// there are none left). Each counter is written by the band's thread only.
// The facing bands read the columns' counters often, and those change far
// less often than Next, which moves on with almost every step: Next has a
// cache line of its own, so that its stores leave the facing bands' copies
// of the other two valid.
struct TConcurrentStepper::TBandProgress {
    alignas(64) std::atomic<std::uint32_t> Next{0};
    alignas(64) std::atomic<std::uint32_t> NextFirstColumn{0};
    std::atomic<std::uint32_t> NextLastColumn{0};
};

TConcurrentStepper::TConcurrentStepper() = default;

TConcurrentStepper::~TConcurrentStepper() = default;

void TConcurrentStepper::SetThreads(unsigned threads) {
    threads_ = std::max(1u, threads);
    if (pool_ && pool_->Size() != threads_)
        pool_.reset();
}

bool TConcurrentStepper::boundsStepOf(std::uint32_t index, const TBug& bug, TWorkerResult& result,
                                      bool& readsMembers, Extended& range, Extended& move) const {
    // A due trigger draws random numbers and may change every value below.
    for (const TTrigger* trigger : bug.Triggers)
        if (trigger->IsDue(frame_.CurrentSecond, frame_.CurrentFrame))
            return false;
    range = 0;
    for (const auto& behaviour : *bug.Behaviours) {
        // A target bug is read wherever it is. One of the own group is ordered
        // against the member. Sensing writes the target's position into the
        // behaviour: through a list a trigger lent to several members, that
        // is done before the frame for a target of another group, which
        // stays put meanwhile, and is left to an exclusive step otherwise.
        if (behaviour->TargetIsBug && behaviour->TargetBug != nullptr) {
            const bool ownGroup = behaviour->TargetBug->Group == group_;
            if (bug.Behaviours != bug.OwnBehaviours()) {
                if (ownGroup)
                    return false;
                result.SharedTargets.push_back(behaviour.get());
            } else if (ownGroup) {
                result.Seekers.push_back({index, behaviour->TargetBug});
            }
        }
        if (isGroupBehaviour(behaviour->Kind)) {
            if (!behaviour->SensorRangeOn || !(behaviour->SensorRange <= rangeLimit_))
                return false;
            readsMembers = true;
            range = std::max(range, behaviour->SensorRange);
        }
    }
    // The velocity is capped at MaxSpeed and then raised to MinSpeed; a
    // negative or missing cap leaves it unbounded.
    if (!(bug.MaxSpeed >= 0) || !(fabsl(bug.MinSpeed) <= moveLimit_ * frame_.FPS))
        return false;
    const Extended speed = std::max(bug.MaxSpeed, bug.MinSpeed) * (1 + 1e-9L);
    move = frame_.FPS != 0 ? speed / frame_.FPS : 0;
    if (!(move <= moveLimit_))
        return false;
    // A member within one move of an edge may come back in at the other;
    // that stays within `move` around the edges, where searches wrap too.
    const Vector& p = bug.Position;
    return p[0] >= 0 && p[0] <= frame_.ArenaWidth && p[1] >= 0 && p[1] <= frame_.ArenaHeight;
}

void TConcurrentStepper::classifyMembers(unsigned worker) {
    const auto& members = group_->Members;
    const TMemberRun run = runOf(worker);
    TNeighbourGrid& grid = group_->Neighbours;
    TWorkerResult& result = results_[worker];
    result.ReadsMembers = false;
    result.LargestRange = 0;
    result.LargestMove = 0;
    result.Exclusive.clear();
    result.Seekers.clear();
    result.SharedTargets.clear();
    result.WaitedSeconds = 0;
    for (std::uint32_t i = run.Begin; i < run.End; ++i) {
        // The classification reads what the step reads, in a fraction of the
        // time.
        PrefetchStepData(members, i + kClassifyPrefetchSpacing, kClassifyPrefetchSpacing);
        const TBug& bug = *members[i];
        grid.CaptureState(i, bug);
        bool readsMembers = false;
        Extended range = 0;
        Extended move = 0;
        const std::size_t seekers = result.Seekers.size();
        const std::size_t sharedTargets = result.SharedTargets.size();
        const bool bounded = boundsStepOf(i, bug, result, readsMembers, range, move);
        exclusive_[i] = bounded ? 0 : 1;
        if (!bounded) {
            result.Seekers.resize(seekers);
            result.SharedTargets.resize(sharedTargets);
            result.Exclusive.push_back(i);
            continue;
        }
        result.ReadsMembers |= readsMembers;
        result.LargestRange = std::max(result.LargestRange, range);
        result.LargestMove = std::max(result.LargestMove, move);
    }
}

bool TConcurrentStepper::Prepare(TBugGroup& group, const TFrameContext& frame) {
    ++concurrency_.GroupFrames;
    const std::size_t count = group.Members.size();
    if (threads_ < 2 || frame.Neighbours == nullptr || count < leastMembersPerThread_ * threads_ ||
        count >= kNone)
        return false;
    TGroupRecord& record = records_[&group];
    if (record.FramesToSkip > 0) {
        --record.FramesToSkip;
        return false;
    }
    if (!classifyAndFile(group, frame)) {
        // The classification was wasted, and the grid must be built anew for
        // one thread. What makes a frame step on one thread mostly lasts, so
        // the next tries come after 1, 2, 4, ... frames.
        record.FramesToSkip = record.NextSkip;
        record.NextSkip = std::min(2 * record.NextSkip, kMostFramesSkipped);
        return false;
    }
    record.NextSkip = 1;
    return true;
}

bool TConcurrentStepper::classifyAndFile(TBugGroup& group, const TFrameContext& frame) {
    const std::size_t count = group.Members.size();
    if (!pool_) {
        pool_ = std::make_unique<TWorkerPool>(threads_);
        obstacleIndexes_ = std::vector<TObstacleIndex>(threads_);
        results_.assign(threads_, {});
        progress_ = std::make_unique<TBandProgress[]>(threads_);
    }
    group_ = &group;
    frame_ = frame;
    const Extended shorterSide = std::min(frame.ArenaWidth, frame.ArenaHeight);
    rangeLimit_ = shorterSide * kLargestShareOfArena;
    moveLimit_ = shorterSide * kLargestShareOfArena;

    exclusive_.resize(count);
    group.Neighbours.SetMemberCount(count);
    pool_->Run([this](unsigned worker) { classifyMembers(worker); });

    bool readsMembers = false;
    Extended range = 0;
    Extended move = 0;
    exclusiveMembers_.clear();
    for (const TWorkerResult& result : results_) {
        readsMembers |= result.ReadsMembers;
        range = std::max(range, result.LargestRange);
        move = std::max(move, result.LargestMove);
        exclusiveMembers_.insert(exclusiveMembers_.end(), result.Exclusive.begin(),
                                 result.Exclusive.end());
    }
    if (exclusiveMembers_.size() * kMembersPerExclusive > count || !orderSeekers())
        return false;
    bandOfMember_.resize(count);
    columnInBand_.assign(count, 0);
    gridded_ = readsMembers;
    searchRange_ = range;
    if (gridded_) {
        // The reach of the widest search: the range as the grid widens it,
        // and the distance the members found can have moved.
        const Extended allowance = move * (1 + 1e-6L) + 1e-9L;
        const Extended reach = range * (1 + 1e-9L) + 1e-9L + allowance;
        TNeighbourGrid& grid = group.Neighbours;
        if (!grid.LayOutCells(frame.ArenaWidth, frame.ArenaHeight, reach * kCellMargin, allowance,
                              threads_))
            return false;
        // Each worker files the members it classified.
        pool_->Run([this, &grid](unsigned worker) {
            const TMemberRun run = runOf(worker);
            grid.PlaceMembers(worker, run.Begin, run.End);
        });
        grid.SumPlacedMembers();
        dealColumns(grid);
        pool_->Run([this, &grid](unsigned worker) {
            const TMemberRun run = runOf(worker);
            grid.FileMembers(worker, run.Begin, run.End);
            placeInBands(grid, run);
        });
    } else {
        // Members that read no other member wait for none: the list is dealt
        // out in runs, which keep each thread's members together in memory.
        bands_ = threads_;
        for (std::uint32_t i = 0; i < count; ++i)
            bandOfMember_[i] = static_cast<std::uint32_t>(std::uint64_t{i} * bands_ / count);
    }
    for (unsigned b = 0; b < bands_; ++b) {
        progress_[b].Next.store(0, std::memory_order_relaxed);
        progress_[b].NextFirstColumn.store(0, std::memory_order_relaxed);
        progress_[b].NextLastColumn.store(0, std::memory_order_relaxed);
    }
    nextExclusive_.store(exclusiveMembers_.empty() ? kNone : exclusiveMembers_.front(),
                         std::memory_order_relaxed);
    for (TObstacleIndex& index : obstacleIndexes_)
        index.ObstaclesMayHaveChanged();
    for (const TWorkerResult& result : results_)
        for (TSteeringBehaviour* behaviour : result.SharedTargets)
            FollowTargetBug(*behaviour);
    return true;
}

bool TConcurrentStepper::orderSeekers() {
    const auto& members = group_->Members;
    TTargetIndexes& indexOfTarget = records_[group_].TargetIndexes;
    const auto targetsFound = [&] {
        for (const TWorkerResult& result : results_)
            for (const TSeeker& seeker : result.Seekers) {
                const auto found = indexOfTarget.find(seeker.Target);
                if (found == indexOfTarget.end() || found->second >= members.size() ||
                    members[found->second].get() != seeker.Target)
                    return false;
            }
        return true;
    };
    if (!targetsFound()) {
        // The list has changed since the targets were last found there.
        TTargetIndexes indexOfMember;
        for (std::uint32_t i = 0; i < members.size(); ++i)
            indexOfMember.emplace(members[i].get(), i);
        indexOfTarget.clear();
        for (const TWorkerResult& result : results_)
            for (const TSeeker& seeker : result.Seekers) {
                const auto found = indexOfMember.find(seeker.Target);
                if (found == indexOfMember.end())
                    return false;
                indexOfTarget.insert(*found);
            }
    }
    dependencies_.clear();
    for (const TWorkerResult& result : results_)
        for (const TSeeker& seeker : result.Seekers) {
            const std::uint32_t target = indexOfTarget.find(seeker.Target)->second;
            if (target != seeker.Index)
                dependencies_.push_back(
                    {std::max(target, seeker.Index), std::min(target, seeker.Index)});
        }
    // Waiting for every band to pass the latest member covers the earlier ones.
    std::sort(dependencies_.begin(), dependencies_.end(), [](TDependency a, TDependency b) {
        return a.Later != b.Later ? a.Later < b.Later : a.Earlier > b.Earlier;
    });
    dependencies_.erase(
        std::unique(dependencies_.begin(), dependencies_.end(),
                    [](TDependency a, TDependency b) { return a.Later == b.Later; }),
        dependencies_.end());
    return true;
}

void TConcurrentStepper::dealColumns(const TNeighbourGrid& grid) {
    // Bands of columns with about equal member counts.
    const std::size_t count = bandOfMember_.size();
    const std::uint32_t columns = grid.Columns();
    bands_ = std::min<unsigned>(threads_, columns);
    bandOfColumn_.assign(columns, 0);
    firstColumnOfBand_.assign(bands_ + 1, columns);
    std::size_t dealt = 0;
    unsigned band = 0;
    firstColumnOfBand_[0] = 0;
    for (std::uint32_t column = 0; column < columns; ++column) {
        // A band ends once it holds its share, leaving a column for each band
        // still to come.
        if (band + 1 < bands_ &&
            (dealt >= count * (band + 1) / bands_ || columns - column == bands_ - band - 1)) {
            ++band;
            firstColumnOfBand_[band] = column;
        }
        bandOfColumn_[column] = band;
        dealt += grid.MembersInColumn(column);
    }
    columnsInBand_.resize(bands_);
    for (unsigned b = 0; b < bands_; ++b)
        columnsInBand_[b] = firstColumnOfBand_[b + 1] - firstColumnOfBand_[b];
}

void TConcurrentStepper::placeInBands(const TNeighbourGrid& grid, TMemberRun run) {
    // An exclusive member's step may file it elsewhere while other threads
    // are still dealing: each member keeps the column the frame found it in.
    for (std::uint32_t i = run.Begin; i < run.End; ++i) {
        const std::uint32_t column = grid.ColumnOfMember(i);
        const std::uint32_t band = bandOfColumn_[column];
        bandOfMember_[i] = band;
        columnInBand_[i] = column - firstColumnOfBand_[band];
    }
}

TConcurrentStepper::TMemberRun TConcurrentStepper::runOf(unsigned worker) const {
    const std::size_t count = group_->Members.size();
    return {static_cast<std::uint32_t>(count * worker / threads_),
            static_cast<std::uint32_t>(count * (worker + 1) / threads_)};
}

void TConcurrentStepper::StepPrepared() {
    const TClock::time_point start = TClock::now();
    pool_->Run([this](unsigned worker) {
        if (worker < bands_)
            stepBand(worker);
    });
    const double wall = secondsSince(start);
    ++concurrency_.ConcurrentGroupFrames;
    concurrency_.ConcurrentMembers += group_->Members.size();
    concurrency_.ExclusiveMembers += exclusiveMembers_.size();
    concurrency_.WallSeconds += wall;
    for (unsigned b = 0; b < bands_; ++b)
        concurrency_.SteppingSeconds += results_[b].SteppingSeconds;
    group_ = nullptr;
}

void TConcurrentStepper::stepBand(unsigned band) {
    const auto& members = group_->Members;
    TNeighbourGrid& grid = group_->Neighbours;
    TBandProgress& own = progress_[band];
    // With two bands both sides face the same band; with one, none.
    TBandProgress& before = progress_[(band + bands_ - 1) % bands_];
    TBandProgress& after = progress_[(band + 1) % bands_];
    const bool facesOthers = gridded_ && bands_ > 1;
    // Members dealt out in runs of the list have no columns.
    const std::uint32_t columns = gridded_ ? columnsInBand_[band] : 1;
    // A band that is done early idles until the last one is: its stepping
    // time runs from its start to its end, less its waits.
    const TClock::time_point bandStart = TClock::now();
    double& waited = results_[band].WaitedSeconds;
    waited = 0;

    // The band's members in list order, and for each of the facing counters
    // the next member from each entry on that moves it.
    struct TEntry {
        std::uint32_t Index;
        std::uint32_t Column;
        // Every band must have stepped its members up to this one (kNone: no
        // such member).
        std::uint32_t WaitsFor;
        bool InFirstColumn;
        bool InLastColumn;
        bool Exclusive;
    };
    thread_local std::vector<TEntry> entries;
    thread_local std::vector<const TBug*> bugs;
    entries.clear();
    bugs.clear();
    auto dependency = dependencies_.begin();
    for (std::uint32_t i = 0; i < members.size(); ++i) {
        if (bandOfMember_[i] == band) {
            while (dependency != dependencies_.end() && dependency->Later < i)
                ++dependency;
            const std::uint32_t waitsFor =
                dependency != dependencies_.end() && dependency->Later == i ? dependency->Earlier
                                                                            : kNone;
            const std::uint32_t column = gridded_ ? columnInBand_[i] : 0;
            entries.push_back({i, column, waitsFor, facesOthers && column == 0,
                               facesOthers && column + 1 == columns, exclusive_[i] != 0});
            bugs.push_back(members[i].get());
        }
    }
    thread_local std::vector<std::uint32_t> nextFirst;
    thread_local std::vector<std::uint32_t> nextLast;
    nextFirst.resize(entries.size() + 1);
    nextLast.resize(entries.size() + 1);
    nextFirst[entries.size()] = kNone;
    nextLast[entries.size()] = kNone;
    for (std::size_t k = entries.size(); k-- > 0;) {
        nextFirst[k] = entries[k].InFirstColumn ? entries[k].Index : nextFirst[k + 1];
        nextLast[k] = entries[k].InLastColumn ? entries[k].Index : nextLast[k + 1];
    }

    // A member whose facing column's neighbour has not yet stepped an earlier
    // member, or that waits for a member not yet stepped, is put aside, and
    // the band steps on with the members that do not depend on it: a member
    // is held back while an earlier one put aside lies in its own or an
    // adjacent column (`heldFrom` has the smallest such index of each column).
    // Members put aside step once the other bands have moved on, and all of
    // them before an exclusive member or a wait for one.
    thread_local std::vector<std::size_t> putAside;
    thread_local std::vector<std::uint32_t> heldFrom;
    thread_local std::vector<std::uint32_t> stillHeldFrom;
    putAside.clear();
    heldFrom.assign(columns, kNone);
    constexpr std::size_t kMostPutAside = 64;

    // A counter is stored only when it changes: the value it held already
    // vouches for every step it covers.
    const auto publishCounter = [](std::atomic<std::uint32_t>& counter, std::uint32_t value) {
        if (counter.load(std::memory_order_relaxed) != value)
            counter.store(value, std::memory_order_release);
    };
    const auto publish = [&](std::size_t cursor) {
        const std::uint32_t firstAside = putAside.empty() ? kNone : entries[putAside.front()].Index;
        const std::uint32_t atCursor = cursor < entries.size() ? entries[cursor].Index : kNone;
        publishCounter(own.Next, std::min(firstAside, atCursor));
        publishCounter(own.NextFirstColumn, std::min(heldFrom.front(), nextFirst[cursor]));
        publishCounter(own.NextLastColumn, std::min(heldFrom.back(), nextLast[cursor]));
    };
    const auto facingBandsReady = [&](const TEntry& entry) {
        return (!entry.InFirstColumn ||
                before.NextLastColumn.load(std::memory_order_acquire) > entry.Index) &&
               (!entry.InLastColumn ||
                after.NextFirstColumn.load(std::memory_order_acquire) > entry.Index);
    };
    // Whether every band has stepped its members up to the one the entry
    // waits for. `firstAside` is this band's first member put aside.
    const auto dependencyStepped = [&](const TEntry& entry, std::uint32_t firstAside) {
        if (entry.WaitsFor == kNone)
            return true;
        if (firstAside <= entry.WaitsFor)
            return false;
        for (unsigned b = 0; b < bands_; ++b)
            if (b != band && progress_[b].Next.load(std::memory_order_acquire) <= entry.WaitsFor)
                return false;
        return true;
    };
    const auto notHeld = [&](const TEntry& entry, const std::vector<std::uint32_t>& held) {
        const std::uint32_t c = entry.Column;
        return held[c] > entry.Index && (c == 0 || held[c - 1] > entry.Index) &&
               (c + 1 == columns || held[c + 1] > entry.Index);
    };

    TFrameContext frame = frame_;
    frame.Neighbours = gridded_ ? &grid : nullptr;
    frame.Obstacles = &obstacleIndexes_[band];
    std::size_t exclusiveDone = 0;
    const auto step = [&](std::size_t k) {
        const TEntry& entry = entries[k];
        const std::uint32_t i = entry.Index;
        TBug& bug = *members[i];
        frame.MemberIndex = i;
        bug.Step(frame);
        if (gridded_ && entry.Exclusive)
            grid.Relocate(i, bug);
        else if (gridded_)
            grid.Update(i, bug);
        if (entry.Exclusive) {
            // The exclusive members come one at a time, in list order.
            while (exclusiveMembers_[exclusiveDone] != i)
                ++exclusiveDone;
            ++exclusiveDone;
            nextExclusive_.store(
                exclusiveDone < exclusiveMembers_.size() ? exclusiveMembers_[exclusiveDone] : kNone,
                std::memory_order_release);
        }
    };
    // Steps the members put aside that may step now, in list order. The
    // first of them waits for the other bands only; while it must, so do all
    // the others.
    const auto stepPutAside = [&](std::size_t cursor) {
        if (putAside.empty() || !facingBandsReady(entries[putAside.front()]) ||
            !dependencyStepped(entries[putAside.front()], kNone))
            return;
        stillHeldFrom.assign(columns, kNone);
        std::size_t kept = 0;
        for (const std::size_t k : putAside) {
            const TEntry& entry = entries[k];
            const std::uint32_t firstAside = kept > 0 ? entries[putAside.front()].Index : kNone;
            if (notHeld(entry, stillHeldFrom) && facingBandsReady(entry) &&
                dependencyStepped(entry, firstAside)) {
                step(k);
            } else {
                putAside[kept++] = k;
                stillHeldFrom[entry.Column] = std::min(stillHeldFrom[entry.Column], entry.Index);
            }
        }
        putAside.resize(kept);
        heldFrom.swap(stillHeldFrom);
        publish(cursor);
    };
    // Steps every member put aside, waiting for the other bands as needed.
    const auto stepAllPutAside = [&](std::size_t cursor) {
        while (!putAside.empty()) {
            const TEntry& first = entries[putAside.front()];
            if (first.InFirstColumn)
                waitUntilAbove(before.NextLastColumn, first.Index, waited);
            if (first.InLastColumn)
                waitUntilAbove(after.NextFirstColumn, first.Index, waited);
            if (first.WaitsFor != kNone)
                for (unsigned b = 0; b < bands_; ++b)
                    if (b != band)
                        waitUntilAbove(progress_[b].Next, first.WaitsFor, waited);
            stepPutAside(cursor);
        }
    };

    publish(0);
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const TEntry& entry = entries[k];
        const std::uint32_t i = entry.Index;
        stepPutAside(k);
        if (entry.Exclusive) {
            stepAllPutAside(k);
            for (unsigned b = 0; b < bands_; ++b)
                if (b != band)
                    waitUntilAbove(progress_[b].Next, i, waited);
        } else {
            if (nextExclusive_.load(std::memory_order_acquire) <= i) {
                // The exclusive member waits for every earlier one.
                stepAllPutAside(k);
                waitUntilAbove(nextExclusive_, i, waited);
            }
            if (putAside.size() >= kMostPutAside)
                stepAllPutAside(k);
            const std::uint32_t firstAside =
                putAside.empty() ? kNone : entries[putAside.front()].Index;
            if (!notHeld(entry, heldFrom) || !facingBandsReady(entry) ||
                !dependencyStepped(entry, firstAside)) {
                putAside.push_back(k);
                heldFrom[entry.Column] = std::min(heldFrom[entry.Column], i);
                publish(k + 1);
                continue;
            }
        }
        PrefetchStepData(bugs, k + 1);
        if (gridded_ && k + 1 < bugs.size())
            grid.PrefetchSearch(bugs[k + 1]->Position, searchRange_);
        step(k);
        publish(k + 1);
    }
    stepAllPutAside(entries.size());
    results_[band].SteppingSeconds = std::max(0.0, secondsSince(bandStart) - waited);
}

} // namespace kova
