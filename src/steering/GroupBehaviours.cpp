#include "steering/GroupBehaviours.h"

#include "steering/SteeringBehaviour.h"
#include "world/Bug.h"
#include "world/BugGroup.h"
#include "world/NeighbourGrid.h"

#include <algorithm>
#include <cmath>

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

// The quick test in double precision decides only where its rounding cannot
// matter; these bound the magnitudes it works with.
constexpr double kSmallestQuickValue = 1e-100;
constexpr double kLargestQuickValue = 1e100;
constexpr double kLargestQuickLength = 1e150;

// At least 1 / (1 - 1e-12) and at most 1 / (1 + 1e-12), with room for their
// rounding to double.
constexpr double kBeyondScale = 1 + 2e-12;
constexpr double kWithinScale = 1 - 2e-12;

enum class TQuickVerdict { Reject, Accept, Unsure };

// Decides, member by member, whether the bug perceives it. Whether a member is
// a neighbour depends on that member alone, so one filtering pass over the
// members selects exactly the members that SelectNeighbours keeps, in the same
// order.
class TNeighbourFilter {
public:
    TNeighbourFilter(const TSteeringBehaviour& behaviour, const TBug& bug)
        : bug_(bug), rangeOn_(behaviour.SensorRangeOn), angleOn_(behaviour.AngleOn),
          range_(behaviour.SensorRange), speed_(angleOn_ ? VecLength(bug.Velocity) : 0),
          cosLimit_(angleOn_ ? halfSectorCosine(behaviour.Angle) : 0),
          x_(static_cast<double>(bug.Position[0])), y_(static_cast<double>(bug.Position[1])),
          vx_(static_cast<double>(bug.Velocity[0])), vy_(static_cast<double>(bug.Velocity[1])),
          quickRange_(static_cast<double>(range_)), quickSpeed_(static_cast<double>(speed_)),
          quickCosLimit_(static_cast<double>(cosLimit_)),
          rangeIsQuick_(range_ >= kSmallestQuickValue && range_ <= kLargestQuickValue),
          angleIsQuick_(speed_ >= kSmallestQuickValue && speed_ <= kLargestQuickValue &&
                        fabsl(cosLimit_) <= 1) {}

    // The exact tests, as SelectNeighbours applies them.
    bool Accepts(const TBug& member, const Vector& position) const {
        if (&member == &bug_)
            return !rangeOn_;
        if (!rangeOn_ && !angleOn_)
            return true;
        return passesExactTests(position);
    }

    // The same verdict for a member of the neighbour grid, which keeps its
    // position rounded to double too: most members are decided in double
    // precision, the few near a limit by the exact tests. The bug is the
    // member at `bugIndex`.
    bool Accepts(const TGridEntry& entry, const TNeighbourGrid& grid,
                 std::uint32_t bugIndex) const {
        if (entry.Index == bugIndex)
            return !rangeOn_;
        if (!rangeOn_ && !angleOn_)
            return true;
        switch (quickVerdict(entry.X, entry.Y)) {
        case TQuickVerdict::Reject:
            return false;
        case TQuickVerdict::Accept:
            return true;
        case TQuickVerdict::Unsure:
            break;
        }
        return passesExactTests(grid.State(entry.Index).Position);
    }

private:
    bool passesExactTests(const Vector& position) const {
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

    // The range and angle tests in double precision. Each verdict is given
    // only when the exact tests must come to the same one: the value tested
    // is further from its limit than the rounding to double can move it.
    // Anything else (values near a limit, too large or small for doubles, not
    // finite) is left to the exact tests.
    TQuickVerdict quickVerdict(double x, double y) const {
        const double dx = x_ - x;
        const double dy = y_ - y;
        const double squared = dx * dx + dy * dy;
        if (!(squared < kLargestQuickLength * kLargestQuickLength))
            return TQuickVerdict::Unsure;
        // How far (dx, dy) can be from the exact offset, with room to spare:
        // each coordinate and difference is off by at most 2^-53 of itself.
        const double slack =
            (std::fabs(x_) + std::fabs(x) + std::fabs(y_) + std::fabs(y)) * 0x1p-50 + 1e-150;
        if (rangeOn_) {
            if (!rangeIsQuick_)
                return TQuickVerdict::Unsure;
            // The length is beyond the range when
            //   length > range + slack + (length + range) 1e-12,
            // and within it when
            //   length < range - slack - (length + range) 1e-12;
            // solved for the length, and compared squared, so that only the
            // members in range need a square root.
            const double beyond = (quickRange_ * (1 + 1e-12) + slack) * kBeyondScale;
            if (squared > beyond * beyond)
                return TQuickVerdict::Reject;
            const double within = (quickRange_ * (1 - 1e-12) - slack) * kWithinScale;
            if (!(within > 0 && squared < within * within))
                return TQuickVerdict::Unsure;
        }
        const double length = std::sqrt(squared);
        if (angleOn_) {
            if (!angleIsQuick_ || !(length > 4 * slack + kSmallestQuickValue))
                return TQuickVerdict::Unsure;
            const double cosine = (vx_ * dx + vy_ * dy) / (quickSpeed_ * length);
            const double margin = 1e-9 + 8 * slack / length;
            if (cosine > quickCosLimit_ + margin)
                return TQuickVerdict::Reject;
            if (!(cosine < quickCosLimit_ - margin))
                return TQuickVerdict::Unsure;
        }
        return TQuickVerdict::Accept;
    }

    const TBug& bug_;
    bool rangeOn_;
    bool angleOn_;
    Extended range_;
    Extended speed_;
    Extended cosLimit_;
    // The bug's position and velocity, the range, speed and cosine in double.
    double x_;
    double y_;
    double vx_;
    double vy_;
    double quickRange_;
    double quickSpeed_;
    double quickCosLimit_;
    bool rangeIsQuick_;
    bool angleIsQuick_;
};

// A neighbour's place in the member list, position and velocity: the member's
// own, or the neighbour grid's copies of them, which are the same values.
struct TNeighbour {
    std::uint32_t Index;
    const Vector* Position;
    const Vector* Velocity;
};

// The neighbours in member order. With the range test on and a neighbour grid
// at hand only the members the grid reports near the bug are examined; the
// others are out of range anyway.
void collectNeighbours(const TSteeringBehaviour& behaviour, const TBug& bug,
                       const TFrameContext& frame, std::vector<TNeighbour>& out) {
    out.clear();
    if (bug.Group == nullptr)
        return;
    const auto& members = bug.Group->Members;
    const TNeighbourFilter filter(behaviour, bug);
    TNeighbourGrid* grid = frame.Neighbours;
    if (grid != nullptr && behaviour.SensorRangeOn) {
        if (!grid->Built())
            grid->Build(members, frame.ArenaWidth, frame.ArenaHeight, behaviour.SensorRange);
        const bool searched =
            grid->ForEachCandidate(bug.Position, behaviour.SensorRange, [&](const TGridEntry& e) {
                if (filter.Accepts(e, *grid, frame.MemberIndex)) {
                    grid->PrefetchState(e.Index);
                    const TMemberState& state = grid->State(e.Index);
                    out.push_back({e.Index, &state.Position, &state.Velocity});
                }
            });
        if (searched) {
            // The grid's cells come in no particular order; sums run in member
            // order.
            std::sort(out.begin(), out.end(),
                      [](const TNeighbour& a, const TNeighbour& b) { return a.Index < b.Index; });
            return;
        }
    }
    for (std::uint32_t i = 0; i < members.size(); ++i) {
        const TBug& member = *members[i];
        if (filter.Accepts(member, member.Position))
            out.push_back({i, &member.Position, &member.Velocity});
    }
}

// The behaviours of one bug usually share their range and angle settings
// (cohesion, alignment and separation of a flock): their neighbours are then
// selected once per combination. Positions do not change while one bug's
// behaviours are evaluated.
struct TSelectionKey {
    std::uint64_t Combination = 0;
    bool RangeOn = false;
    bool AngleOn = false;
    Extended Range = 0;
    Extended Angle = 0;
    bool operator==(const TSelectionKey&) const = default;
};

std::uint64_t lastCombination = 0;

Vector cohesionOrAlignment(const std::vector<TNeighbour>& neighbours,
                           const Vector* TNeighbour::*field, const Vector& own) {
    Vector sum;
    for (const TNeighbour& m : neighbours)
        VecAdd(sum, *(m.*field), sum);
    VecScale(sum, sum, 1 / static_cast<Extended>(neighbours.size()));
    Vector force;
    VecSub(sum, own, force);
    return force;
}

Vector separation(const std::vector<TNeighbour>& neighbours, const TBug& bug) {
    const Extended share = 1 / static_cast<Extended>(neighbours.size());
    Vector force;
    for (const TNeighbour& m : neighbours) {
        Vector away;
        VecSub(bug.Position, *m.Position, away);
        VecNormalize(away, away);
        VecScale(away, away, share);
        VecAdd(force, away, force);
    }
    return force;
}

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

std::uint64_t NewCombination() {
    return ++lastCombination;
}

Vector GroupForce(const TSteeringBehaviour& behaviour, const TBug& bug) {
    return GroupForce(behaviour, bug, TFrameContext{});
}

Vector GroupForce(const TSteeringBehaviour& behaviour, const TBug& bug, const TFrameContext& frame,
                  std::uint64_t combination) {
    // Runs for every bug every frame: the neighbour list reuses one buffer.
    thread_local std::vector<TNeighbour> neighbours;
    thread_local TSelectionKey selected;
    const TSelectionKey key{combination, behaviour.SensorRangeOn, behaviour.AngleOn,
                            behaviour.SensorRange, behaviour.Angle};
    if (combination == 0 || !(key == selected)) {
        collectNeighbours(behaviour, bug, frame, neighbours);
        selected = key;
    }
    if (neighbours.empty())
        return {};
    switch (behaviour.Kind) {
    case bkCohesion:
        return cohesionOrAlignment(neighbours, &TNeighbour::Position, bug.Position);
    case bkAlignment:
        return cohesionOrAlignment(neighbours, &TNeighbour::Velocity, bug.Velocity);
    case bkSeparation:
        return separation(neighbours, bug);
    default:
        return {};
    }
}

} // namespace kova
