#include "steering/NeighbourSelection.h"

#include "foundations/IndexSort.h"
#include "steering/SteeringBehaviour.h"
#include "world/Bug.h"
#include "world/BugGroup.h"
#include "world/NeighbourGrid.h"

#include <cmath>
#include <limits>
#include <span>

namespace kova {

namespace {

// Cosine of half the blind sector's width (degrees), converted to radians the
// way the bug converts its heading.
Extended halfSectorCosine(Extended angle) {
    // Every bug of a flock asks for the same angle; remember the last one.
    thread_local Extended lastAngle = 0;
    thread_local Extended lastCosine = 1;
    if (!(angle == lastAngle)) {
        lastCosine = cosl(((angle / 2) * kPi) / 180);
        lastAngle = angle;
    }
    return lastCosine;
}

// The offset from a member to the bug and its length.
struct TOffset {
    Vector D;
    Extended Length;
};

TOffset offsetTo(const TBug& bug, const TBug& member) {
    TOffset offset;
    VecSub(bug.Position, member.Position, offset.D);
    offset.Length = VecLength(offset.D);
    return offset;
}

// The blind sector: a member lies in it when the direction from it to the bug is
// strictly within the half angle of the bug's direction of motion. Without a
// direction (bug at rest) or an offset (same position) there is no angle, and
// the member is kept.
bool inBlindSector(const TBug& bug, Extended speed, Extended cosLimit, const TOffset& offset) {
    if (!(speed > 0 && offset.Length > 0))
        return false;
    return VecDot(bug.Velocity, offset.D) / (speed * offset.Length) > cosLimit;
}

// Below this range the squares in a length could underflow, and the length
// could then come out below a component; no shortcut is taken there.
constexpr Extended kSmallestExactRange = 1e-1000L;

// The quick tests in double precision decide only where their rounding cannot
// matter; these bound the magnitudes they work with.
constexpr double kSmallestQuickValue = 1e-100;
constexpr double kLargestQuickValue = 1e100;

// The grid's floats hold every coordinate below this with room to spare.
constexpr double kLargestFloatReach = 1e38;

// At least 1 / (1 - 1e-12) and at most 1 / (1 + 1e-12), with room for their
// rounding to double.
constexpr double kBeyondScale = 1 + 2e-12;
constexpr double kWithinScale = 1 - 2e-12;

// Items gathered without branches: every item is written at the tail, and
// only the ones kept move the tail on. The storage only grows, so a warm
// buffer never allocates.
template <typename T> class TCompactBuffer {
public:
    void Clear() { count_ = 0; }
    // The tail, with room for `extra` items behind it.
    T* Reserve(std::size_t extra) {
        if (items_.size() < count_ + extra)
            items_.resize(count_ + extra);
        return items_.data() + count_;
    }
    // The items up to `tail` are kept.
    void Commit(const T* tail) { count_ = static_cast<std::size_t>(tail - items_.data()); }
    void Push(const T& item) {
        *Reserve(1) = item;
        ++count_;
    }
    T* begin() { return items_.data(); }
    T* end() { return items_.data() + count_; }
    const T* begin() const { return items_.data(); }
    const T* end() const { return items_.data() + count_; }
    std::size_t size() const { return count_; }

private:
    std::vector<T> items_;
    std::size_t count_ = 0;
};

using TIndexBuffer = TCompactBuffer<std::uint32_t>;

// A member of the grid that may be in range, with its offset in double.
struct TCandidate {
    double Dx;
    double Dy;
    double Squared;
    std::uint32_t Index;
};

using TCandidateBuffer = TCompactBuffer<TCandidate>;

// Decides, member by member, whether the bug perceives it. Whether a member is
// a neighbour depends on that member alone, so one filtering pass over the
// members selects exactly the members that SelectNeighbours keeps, in the same
// order.
class TNeighbourFilter {
public:
    TNeighbourFilter(const TSteeringBehaviour& behaviour, const TBug& bug)
        : bug_(bug), rangeOn_(behaviour.SensorRangeOn), angleOn_(behaviour.AngleOn),
          range_(behaviour.SensorRange), speed_(angleOn_ ? VecLength(bug.Velocity) : 0),
          cosLimit_(angleOn_ ? halfSectorCosine(behaviour.Angle) : 0) {
        prepareQuickTests();
    }

    // The exact tests, as SelectNeighbours applies them.
    bool Accepts(const TBug& member, const Vector& position) const {
        if (&member == &bug_)
            return !rangeOn_;
        if (!rangeOn_ && !angleOn_)
            return true;
        return PassesExactTests(position);
    }

    // The same verdicts for the members of the neighbour grid, with the range
    // test on, in two passes. The grid keeps positions rounded to float.
    //
    // Gather passes on the members of a run of grid entries that the quick
    // range test does not reject, leaving out the bug, which is the member at
    // `bugIndex`. Whether a member passes is as good as random, and most do
    // not, so the verdicts are reached without branches.
    void Gather(std::span<const TGridEntry> run, std::uint32_t bugIndex,
                TCandidateBuffer& candidates) const {
        TCandidate* tail = candidates.Reserve(run.size());
        for (const TGridEntry& entry : run) {
            const double dx = x_ - entry.X;
            const double dy = y_ - entry.Y;
            const double squared = dx * dx + dy * dy;
            *tail = {dx, dy, squared, entry.Index};
            // NaN is not beyond, and so left to the exact tests.
            tail += (entry.Index != bugIndex) & !(squared > beyondSquared_);
        }
        candidates.Commit(tail);
    }

    // Judge adds the candidates the quick tests accept to `accepted` and those
    // too near a limit for them to `unsure`, to be given the exact tests; the
    // others are dropped. The verdicts are combined with & and |, which do not
    // branch.
    void Judge(const TCandidateBuffer& candidates, TIndexBuffer& accepted,
               TIndexBuffer& unsure) const {
        std::uint32_t* acceptedTail = accepted.Reserve(candidates.size());
        std::uint32_t* unsureTail = unsure.Reserve(candidates.size());
        for (const TCandidate& candidate : candidates) {
            const bool within = candidate.Squared < withinSquared_;
            bool angleRejects = false;
            bool angleAccepts = true;
            if (angleOn_) {
                // The cosine of the angle at the member is dot / (speed length);
                // both limits are multiplied out by speed × length (> 0).
                const double length = std::sqrt(candidate.Squared);
                const double dot = vx_ * candidate.Dx + vy_ * candidate.Dy;
                const bool judged = angleIsQuick_ & (length > shortestAngleLength_);
                angleRejects = judged & (dot > rejectCosSpeed_ * length + slackSpeed_);
                angleAccepts = judged & (dot < acceptCosSpeed_ * length - slackSpeed_);
            }
            const bool accept = within & angleAccepts;
            *acceptedTail = candidate.Index;
            acceptedTail += accept;
            *unsureTail = candidate.Index;
            unsureTail += !(accept | angleRejects);
        }
        accepted.Commit(acceptedTail);
        unsure.Commit(unsureTail);
    }

    bool PassesExactTests(const Vector& position) const {
        Vector d;
        VecSub(bug_.Position, position, d);
        // The length is never below either component's magnitude, so most
        // members out of range are turned away without a square root.
        if (rangeOn_ && (fabsl(d[0]) >= range_ || fabsl(d[1]) >= range_) &&
            range_ > kSmallestExactRange)
            return false;
        const TOffset offset{d, VecLength(d)};
        if (rangeOn_ && !(offset.Length < range_))
            return false;
        if (angleOn_ && inBlindSector(bug_, speed_, cosLimit_, offset))
            return false;
        return true;
    }

private:
    // The limits of the quick tests. Each gives a verdict only when the exact
    // test must come to the same one: the value tested is further from its
    // limit than the rounding to double can move it. Anything else (values
    // near a limit, too large or small for doubles, not finite) is left to
    // the exact tests.
    void prepareQuickTests() {
        x_ = static_cast<double>(bug_.Position[0]);
        y_ = static_cast<double>(bug_.Position[1]);
        vx_ = static_cast<double>(bug_.Velocity[0]);
        vy_ = static_cast<double>(bug_.Velocity[1]);
        const double range = static_cast<double>(range_);
        // How far an offset (dx, dy) worked out from the grid's floats can be
        // from the exact one, with room to spare: the member's coordinates,
        // rounded to double and then to float, are off by at most
        // (2^-24 + 2^-53) of themselves (or 2^-150 where floats are
        // subnormal), the bug's and the differences by at most 2^-53. For
        // every member within two ranges of the bug on both axes this is at
        // most 2^-22 reach; while it is below half the range, the members
        // further away lie beyond the range by far more than their rounding,
        // and are rejected. Below kLargestFloatReach no member that near is
        // beyond what floats hold.
        const double reach = std::fabs(x_) + std::fabs(y_) + 2 * range;
        const double slack = reach * 0x1p-20 + 1e-44;
        const bool rangeIsQuick = range_ >= kSmallestQuickValue && range_ <= kLargestQuickValue &&
                                  reach < kLargestFloatReach && slack < range / 2;
        if (!rangeIsQuick) {
            // Nothing is beyond or within: every member goes to the exact tests.
            beyondSquared_ = std::numeric_limits<double>::infinity();
            withinSquared_ = -1;
            return;
        }
        // The length is beyond the range when
        //   length > range + slack + (length + range) 1e-12,
        // and within it when
        //   length < range - slack - (length + range) 1e-12;
        // solved for the length, and compared squared.
        const double beyond = (range * (1 + 1e-12) + slack) * kBeyondScale;
        const double within = (range * (1 - 1e-12) - slack) * kWithinScale;
        beyondSquared_ = beyond * beyond;
        withinSquared_ = within > 0 ? within * within : -1;
        // The cosine is further than 1e-9 + 8 slack / length from its limit
        // when the offset is longer than 4 slack.
        const double speed = static_cast<double>(speed_);
        const double cosLimit = static_cast<double>(cosLimit_);
        angleIsQuick_ =
            speed_ >= kSmallestQuickValue && speed_ <= kLargestQuickValue && fabsl(cosLimit_) <= 1;
        rejectCosSpeed_ = (cosLimit + 1e-9) * speed;
        acceptCosSpeed_ = (cosLimit - 1e-9) * speed;
        slackSpeed_ = 8 * slack * speed;
        shortestAngleLength_ = 4 * slack + kSmallestQuickValue;
    }

    const TBug& bug_;
    bool rangeOn_;
    bool angleOn_;
    Extended range_;
    Extended speed_;
    Extended cosLimit_;
    // The bug's position and velocity in double, and the quick tests' limits.
    double x_ = 0;
    double y_ = 0;
    double vx_ = 0;
    double vy_ = 0;
    double beyondSquared_ = 0;
    double withinSquared_ = 0;
    bool angleIsQuick_ = false;
    double rejectCosSpeed_ = 0;
    double acceptCosSpeed_ = 0;
    double slackSpeed_ = 0;
    double shortestAngleLength_ = 0;
};

} // namespace

std::vector<TBug*> SelectNeighbours(const TSteeringBehaviour& behaviour, const TBug& bug) {
    std::vector<TBug*> list;
    if (bug.Group == nullptr)
        return list;
    const auto& members = bug.Group->Members;

    if (!behaviour.SensorRangeOn && !behaviour.AngleOn) {
        for (const auto& member : members)
            list.push_back(member.get());
        return list;
    }

    if (behaviour.SensorRangeOn) {
        for (const auto& member : members)
            if (member.get() != &bug && offsetTo(bug, *member).Length < behaviour.SensorRange)
                list.push_back(member.get());
    } else {
        for (const auto& member : members)
            list.push_back(member.get());
    }

    if (behaviour.AngleOn && !list.empty()) {
        const Extended speed = VecLength(bug.Velocity);
        const Extended cosLimit = halfSectorCosine(behaviour.Angle);
        // From last to first, so that removing an entry leaves the entries
        // still to be examined where they are.
        for (std::size_t i = list.size(); i-- > 0;) {
            if (list[i] == &bug)
                continue;
            if (inBlindSector(bug, speed, cosLimit, offsetTo(bug, *list[i])))
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return list;
}

void CollectNeighbours(const TSteeringBehaviour& behaviour, const TBug& bug,
                       const TFrameContext& frame, TNeighbours& out) {
    out.Clear();
    if (bug.Group == nullptr)
        return;
    const auto& members = bug.Group->Members;
    const TNeighbourFilter filter(behaviour, bug);
    TNeighbourGrid* grid = frame.Neighbours;
    if (grid != nullptr && behaviour.SensorRangeOn) {
        if (!grid->Built())
            grid->Build(members, frame.ArenaWidth, frame.ArenaHeight, behaviour.SensorRange);
        thread_local TCandidateBuffer candidates;
        thread_local TIndexBuffer accepted;
        thread_local TIndexBuffer unsure;
        candidates.Clear();
        accepted.Clear();
        unsure.Clear();
        const bool searched = grid->ForEachCandidateRun(
            bug.Position, behaviour.SensorRange, [&](std::span<const TGridEntry> run) {
                filter.Gather(run, frame.MemberIndex, candidates);
            });
        if (searched) {
            filter.Judge(candidates, accepted, unsure);
            // The neighbours' states are read by the forces; they are fetched
            // while the indices are sorted.
            for (const std::uint32_t index : accepted)
                grid->PrefetchState(index);
            for (const std::uint32_t index : unsure) {
                const TMemberState& state = grid->State(index);
                const Vector position =
                    state.Exact() ? state.PositionValue() : members[index]->Position;
                if (filter.PassesExactTests(position))
                    accepted.Push(index);
            }
            // The grid's entries come in no particular order; sums run in
            // member order.
            SortDistinctIndices(accepted);
            bool exact = true;
            for (const std::uint32_t index : accepted) {
                const TMemberState& state = grid->State(index);
                exact &= state.Exact();
                out.States.push_back(&state);
            }
            if (!exact) {
                out.States.clear();
                for (const std::uint32_t index : accepted)
                    out.Members.push_back(members[index].get());
            }
            return;
        }
    }
    for (const auto& member : members)
        if (filter.Accepts(*member, member->Position))
            out.Members.push_back(member.get());
}

} // namespace kova
