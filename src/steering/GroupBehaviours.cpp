#include "steering/GroupBehaviours.h"

#include "steering/SteeringBehaviour.h"
#include "world/Bug.h"
#include "world/BugGroup.h"

#include <cmath>

namespace kova {

namespace {

// Cosine of half the blind sector's width (degrees), converted to radians the
// way the bug converts its heading.
Extended halfSectorCosine(Extended angle) {
    return cosl(((angle / 2) * kPi) / 180);
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

// The neighbours in member order. Whether a member is a neighbour depends on
// that member alone, so one filtering pass selects exactly the members that
// SelectNeighbours keeps, in the same order.
void collectNeighbours(const TSteeringBehaviour& behaviour, const TBug& bug,
                       std::vector<const TBug*>& out) {
    out.clear();
    if (bug.Group == nullptr)
        return;
    const bool rangeOn = behaviour.SensorRangeOn;
    const bool angleOn = behaviour.AngleOn;
    const Extended speed = angleOn ? VecLength(bug.Velocity) : 0;
    const Extended cosLimit = angleOn ? halfSectorCosine(behaviour.Angle) : 0;
    for (const auto& member : bug.Group->Members) {
        const TBug* m = member.get();
        if (m == &bug) {
            if (!rangeOn)
                out.push_back(m);
            continue;
        }
        if (rangeOn || angleOn) {
            const TOffset offset = offsetTo(bug, *m);
            if (rangeOn && !(offset.Length < behaviour.SensorRange))
                continue;
            if (angleOn && inBlindSector(bug, speed, cosLimit, offset))
                continue;
        }
        out.push_back(m);
    }
}

Vector cohesionOrAlignment(const std::vector<const TBug*>& neighbours, const Vector TBug::*field,
                           const TBug& bug) {
    Vector sum;
    for (const TBug* m : neighbours)
        VecAdd(sum, m->*field, sum);
    VecScale(sum, sum, 1 / static_cast<Extended>(neighbours.size()));
    Vector force;
    VecSub(sum, bug.*field, force);
    return force;
}

Vector separation(const std::vector<const TBug*>& neighbours, const TBug& bug) {
    const Extended share = 1 / static_cast<Extended>(neighbours.size());
    Vector force;
    for (const TBug* m : neighbours) {
        Vector away;
        VecSub(bug.Position, m->Position, away);
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

Vector GroupForce(const TSteeringBehaviour& behaviour, const TBug& bug) {
    // Runs for every bug every frame: the neighbour list reuses one buffer.
    thread_local std::vector<const TBug*> neighbours;
    collectNeighbours(behaviour, bug, neighbours);
    if (neighbours.empty())
        return {};
    switch (behaviour.Kind) {
    case bkCohesion:
        return cohesionOrAlignment(neighbours, &TBug::Position, bug);
    case bkAlignment:
        return cohesionOrAlignment(neighbours, &TBug::Velocity, bug);
    case bkSeparation:
        return separation(neighbours, bug);
    default:
        return {};
    }
}

} // namespace kova
