#include "steering/GroupBehaviours.h"

#include "steering/SteeringBehaviour.h"
#include "world/Bug.h"

namespace kova {

namespace {

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

// Each thread numbers the combinations it evaluates.
thread_local std::uint64_t lastCombination = 0;

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
    // The sum is kept apart from the result, which the compiler could not
    // otherwise keep in registers: it would have to store it after every
    // neighbour in case a neighbour's position shared its memory.
    Vector sum;
    for (const TNeighbour& m : neighbours) {
        Vector away;
        VecSub(bug.Position, *m.Position, away);
        VecNormalize(away, away);
        VecScale(away, away, share);
        VecAdd(sum, away, sum);
    }
    return Vector(sum[0], sum[1]);
}

} // namespace

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
        CollectNeighbours(behaviour, bug, frame, neighbours);
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
