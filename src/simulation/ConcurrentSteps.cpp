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

// One band's walk over its members in list order, on the band's thread.
//
// A member in the band's first or last column steps once the facing band's
// counter for its facing column has passed it; a member with a dependency,
// once every band's Next has passed the member it waits for. A member that
// may not step yet is put aside, and the walk steps on with the members that
// do not depend on it: a member is held back while an earlier one put aside
// lies in its own or an adjacent column (`heldFrom_` has the smallest such
// index of each column). Members put aside step once the other bands have
// moved on, and all of them before an exclusive member or a wait for one.
//
// Each walk has cache lines of its own: its state changes with every step.
class alignas(64) TConcurrentStepper::TBandWalk {
public:
    void Run(TConcurrentStepper& stepper, unsigned band);
    // The band's time spent stepping in the last walk: from its start to
    // its end, less its waits. A band that is done early idles until the
    // last one is.
    double SteppingSeconds() const { return steppingSeconds_; }

private:
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
    // With this many members put aside, the walk steps them all before going
    // on, waiting for the other bands as needed.
    static constexpr std::size_t kMostPutAside = 64;

    // Readies the walk for the stepper's frame.
    void begin(TConcurrentStepper& stepper, unsigned band);
    void listMembers();
    void publish(std::size_t cursor);
    std::uint32_t firstAside() const {
        return putAside_.empty() ? kNone : entries_[putAside_.front()].Index;
    }
    bool facingBandsReady(const TEntry& entry) const;
    bool dependencyStepped(const TEntry& entry, std::uint32_t firstAside) const;
    bool notHeld(const TEntry& entry, const std::vector<std::uint32_t>& held) const;
    bool mayStep(const TEntry& entry, const std::vector<std::uint32_t>& held,
                 std::uint32_t firstAside) const {
        return notHeld(entry, held) && facingBandsReady(entry) &&
               dependencyStepped(entry, firstAside);
    }
    void waitForOtherBandsPast(std::uint32_t index);
    void step(std::size_t k);
    void stepPutAside(std::size_t cursor);
    void stepAllPutAside(std::size_t cursor);

    TConcurrentStepper* stepper_ = nullptr;
    unsigned band_ = 0;
    TBandProgress* own_ = nullptr;
    TBandProgress* before_ = nullptr;
    TBandProgress* after_ = nullptr;
    // Members dealt out in runs of the list have no columns.
    std::uint32_t columns_ = 1;
    TFrameContext frame_;
    std::size_t exclusiveDone_ = 0;
    double waitedSeconds_ = 0;
    double steppingSeconds_ = 0;

    // The band's members in list order, and for each of the facing counters
    // the next member from each entry on that moves it.
    std::vector<TEntry> entries_;
    std::vector<const TBug*> bugs_;
    std::vector<std::uint32_t> nextFirst_;
    std::vector<std::uint32_t> nextLast_;
    std::vector<std::size_t> putAside_;
    std::vector<std::uint32_t> heldFrom_;
    std::vector<std::uint32_t> stillHeldFrom_;
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
    if (!classifyAndFile(group, frame, record)) {
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

bool TConcurrentStepper::classifyAndFile(TBugGroup& group, const TFrameContext& frame,
                                         TGroupRecord& record) {
    const std::size_t count = group.Members.size();
    if (!pool_) {
        pool_ = std::make_unique<TWorkerPool>(threads_);
        obstacleIndexes_ = std::vector<TObstacleIndex>(threads_);
        results_.assign(threads_, {});
        progress_ = std::make_unique<TBandProgress[]>(threads_);
        walks_ = std::make_unique<TBandWalk[]>(threads_);
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
    if (exclusiveMembers_.size() * kMembersPerExclusive > count ||
        !orderSeekers(record.TargetIndexes))
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

bool TConcurrentStepper::orderSeekers(TTargetIndexes& indexOfTarget) {
    const auto& members = group_->Members;
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
            walks_[worker].Run(*this, worker);
    });
    const double wall = secondsSince(start);
    ++concurrency_.ConcurrentGroupFrames;
    concurrency_.ConcurrentMembers += group_->Members.size();
    concurrency_.ExclusiveMembers += exclusiveMembers_.size();
    concurrency_.WallSeconds += wall;
    for (unsigned b = 0; b < bands_; ++b)
        concurrency_.SteppingSeconds += walks_[b].SteppingSeconds();
    group_ = nullptr;
}

void TConcurrentStepper::TBandWalk::Run(TConcurrentStepper& stepper, unsigned band) {
    const TClock::time_point start = TClock::now();
    begin(stepper, band);
    publish(0);
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        const TEntry& entry = entries_[k];
        const std::uint32_t i = entry.Index;
        stepPutAside(k);
        if (entry.Exclusive) {
            stepAllPutAside(k);
            waitForOtherBandsPast(i);
        } else {
            if (stepper.nextExclusive_.load(std::memory_order_acquire) <= i) {
                // The exclusive member waits for every earlier one.
                stepAllPutAside(k);
                waitUntilAbove(stepper.nextExclusive_, i, waitedSeconds_);
            }
            if (putAside_.size() >= kMostPutAside)
                stepAllPutAside(k);
            if (!mayStep(entry, heldFrom_, firstAside())) {
                putAside_.push_back(k);
                heldFrom_[entry.Column] = std::min(heldFrom_[entry.Column], i);
                publish(k + 1);
                continue;
            }
        }
        PrefetchStepData(bugs_, k + 1);
        if (frame_.Neighbours != nullptr && k + 1 < bugs_.size()) {
            frame_.Neighbours->PrefetchSearch(bugs_[k + 1]->Position, stepper.searchRange_);
            frame_.Neighbours->PrefetchUpdate(entries_[k + 1].Index);
        }
        step(k);
        publish(k + 1);
    }
    stepAllPutAside(entries_.size());
    steppingSeconds_ = std::max(0.0, secondsSince(start) - waitedSeconds_);
}

void TConcurrentStepper::TBandWalk::begin(TConcurrentStepper& stepper, unsigned band) {
    stepper_ = &stepper;
    band_ = band;
    const unsigned bands = stepper.bands_;
    own_ = &stepper.progress_[band];
    // With two bands both sides face the same band; with one, none.
    before_ = &stepper.progress_[(band + bands - 1) % bands];
    after_ = &stepper.progress_[(band + 1) % bands];
    columns_ = stepper.gridded_ ? stepper.columnsInBand_[band] : 1;
    frame_ = stepper.frame_;
    frame_.Neighbours = stepper.gridded_ ? &stepper.group_->Neighbours : nullptr;
    frame_.Obstacles = &stepper.obstacleIndexes_[band];
    exclusiveDone_ = 0;
    waitedSeconds_ = 0;
    listMembers();
    putAside_.clear();
    heldFrom_.assign(columns_, kNone);
}

void TConcurrentStepper::TBandWalk::listMembers() {
    const TConcurrentStepper& stepper = *stepper_;
    const auto& members = stepper.group_->Members;
    const bool facesOthers = stepper.gridded_ && stepper.bands_ > 1;
    entries_.clear();
    bugs_.clear();
    auto dependency = stepper.dependencies_.begin();
    const auto dependenciesEnd = stepper.dependencies_.end();
    for (std::uint32_t i = 0; i < members.size(); ++i) {
        if (stepper.bandOfMember_[i] != band_)
            continue;
        while (dependency != dependenciesEnd && dependency->Later < i)
            ++dependency;
        const std::uint32_t waitsFor =
            dependency != dependenciesEnd && dependency->Later == i ? dependency->Earlier : kNone;
        const std::uint32_t column = stepper.gridded_ ? stepper.columnInBand_[i] : 0;
        entries_.push_back({i, column, waitsFor, facesOthers && column == 0,
                            facesOthers && column + 1 == columns_, stepper.exclusive_[i] != 0});
        bugs_.push_back(members[i].get());
    }
    nextFirst_.resize(entries_.size() + 1);
    nextLast_.resize(entries_.size() + 1);
    nextFirst_[entries_.size()] = kNone;
    nextLast_[entries_.size()] = kNone;
    for (std::size_t k = entries_.size(); k-- > 0;) {
        nextFirst_[k] = entries_[k].InFirstColumn ? entries_[k].Index : nextFirst_[k + 1];
        nextLast_[k] = entries_[k].InLastColumn ? entries_[k].Index : nextLast_[k + 1];
    }
}

void TConcurrentStepper::TBandWalk::publish(std::size_t cursor) {
    // A counter is stored only when it changes: the value it held already
    // vouches for every step it covers.
    const auto publishCounter = [](std::atomic<std::uint32_t>& counter, std::uint32_t value) {
        if (counter.load(std::memory_order_relaxed) != value)
            counter.store(value, std::memory_order_release);
    };
    const std::uint32_t atCursor = cursor < entries_.size() ? entries_[cursor].Index : kNone;
    publishCounter(own_->Next, std::min(firstAside(), atCursor));
    publishCounter(own_->NextFirstColumn, std::min(heldFrom_.front(), nextFirst_[cursor]));
    publishCounter(own_->NextLastColumn, std::min(heldFrom_.back(), nextLast_[cursor]));
}

bool TConcurrentStepper::TBandWalk::facingBandsReady(const TEntry& entry) const {
    return (!entry.InFirstColumn ||
            before_->NextLastColumn.load(std::memory_order_acquire) > entry.Index) &&
           (!entry.InLastColumn ||
            after_->NextFirstColumn.load(std::memory_order_acquire) > entry.Index);
}

// `firstAside` is this band's first member put aside.
bool TConcurrentStepper::TBandWalk::dependencyStepped(const TEntry& entry,
                                                      std::uint32_t firstAside) const {
    if (entry.WaitsFor == kNone)
        return true;
    if (firstAside <= entry.WaitsFor)
        return false;
    for (unsigned b = 0; b < stepper_->bands_; ++b)
        if (b != band_ &&
            stepper_->progress_[b].Next.load(std::memory_order_acquire) <= entry.WaitsFor)
            return false;
    return true;
}

bool TConcurrentStepper::TBandWalk::notHeld(const TEntry& entry,
                                            const std::vector<std::uint32_t>& held) const {
    const std::uint32_t c = entry.Column;
    return held[c] > entry.Index && (c == 0 || held[c - 1] > entry.Index) &&
           (c + 1 == columns_ || held[c + 1] > entry.Index);
}

void TConcurrentStepper::TBandWalk::waitForOtherBandsPast(std::uint32_t index) {
    for (unsigned b = 0; b < stepper_->bands_; ++b)
        if (b != band_)
            waitUntilAbove(stepper_->progress_[b].Next, index, waitedSeconds_);
}

void TConcurrentStepper::TBandWalk::step(std::size_t k) {
    const TEntry& entry = entries_[k];
    const std::uint32_t i = entry.Index;
    TBug& bug = *stepper_->group_->Members[i];
    frame_.MemberIndex = i;
    bug.Step(frame_);
    if (TNeighbourGrid* grid = frame_.Neighbours; grid != nullptr) {
        if (entry.Exclusive)
            grid->Relocate(i, bug);
        else
            grid->Update(i, bug);
    }
    if (entry.Exclusive) {
        // The exclusive members come one at a time, in list order.
        const std::vector<std::uint32_t>& exclusive = stepper_->exclusiveMembers_;
        while (exclusive[exclusiveDone_] != i)
            ++exclusiveDone_;
        ++exclusiveDone_;
        stepper_->nextExclusive_.store(exclusiveDone_ < exclusive.size() ? exclusive[exclusiveDone_]
                                                                         : kNone,
                                       std::memory_order_release);
    }
}

// Steps the members put aside that may step now, in list order. The first of
// them waits for the other bands only; while it must, so do all the others.
void TConcurrentStepper::TBandWalk::stepPutAside(std::size_t cursor) {
    if (putAside_.empty() || !facingBandsReady(entries_[putAside_.front()]) ||
        !dependencyStepped(entries_[putAside_.front()], kNone))
        return;
    stillHeldFrom_.assign(columns_, kNone);
    std::size_t kept = 0;
    for (const std::size_t k : putAside_) {
        const TEntry& entry = entries_[k];
        const std::uint32_t firstStillAside = kept > 0 ? entries_[putAside_.front()].Index : kNone;
        if (mayStep(entry, stillHeldFrom_, firstStillAside)) {
            step(k);
        } else {
            putAside_[kept++] = k;
            stillHeldFrom_[entry.Column] = std::min(stillHeldFrom_[entry.Column], entry.Index);
        }
    }
    putAside_.resize(kept);
    heldFrom_.swap(stillHeldFrom_);
    publish(cursor);
}

// Steps every member put aside, waiting for the other bands as needed.
void TConcurrentStepper::TBandWalk::stepAllPutAside(std::size_t cursor) {
    while (!putAside_.empty()) {
        const TEntry& first = entries_[putAside_.front()];
        if (first.InFirstColumn)
            waitUntilAbove(before_->NextLastColumn, first.Index, waitedSeconds_);
        if (first.InLastColumn)
            waitUntilAbove(after_->NextFirstColumn, first.Index, waitedSeconds_);
        if (first.WaitsFor != kNone)
            waitForOtherBandsPast(first.WaitsFor);
        stepPutAside(cursor);
    }
}

} // namespace kova
