#include "steering/GroupBehaviours.h"

#include "steering/SteeringBehaviour.h"
#include "world/Bug.h"
#include "world/NeighbourGrid.h"

namespace kova {

namespace {

// A neighbour's coordinates, from the grid's split state or from the member.
Extended positionOf(const TMemberState* state, int axis) {
    return state->Position[axis].Value();
}
Extended velocityOf(const TMemberState* state, int axis) {
    return state->Velocity[axis].Value();
}
Extended positionOf(const TBug* member, int axis) {
    return member->Position[axis];
}
Extended velocityOf(const TBug* member, int axis) {
    return member->Velocity[axis];
}

// The sums of cohesion and alignment, built up neighbour by neighbour in
// member order, and turned into their forces: the mean of the neighbours'
// positions (velocities) less the bug's own. The two share the walk over the
// neighbours, and each keeps its own sum and operations, exactly as if it
// were worked out alone. The kinds are template arguments, so that the loop
// carries no tests for them.
template <bool Cohesion, bool Alignment, typename Neighbour>
void addMeanForces(const std::vector<Neighbour>& neighbours, const TBug& bug,
                   TGroupForces& forces) {
    // The sums are kept apart from the results, which the compiler could not
    // otherwise keep in registers: it would have to store them after every
    // neighbour in case a neighbour's position shared their memory.
    Vector positions;
    Vector velocities;
    for (const Neighbour m : neighbours)
        for (int axis = 0; axis < 2; ++axis) {
            if constexpr (Cohesion)
                positions[axis] += positionOf(m, axis);
            if constexpr (Alignment)
                velocities[axis] += velocityOf(m, axis);
        }
    if constexpr (Cohesion) {
        VecScale(positions, positions, 1 / static_cast<Extended>(neighbours.size()));
        VecSub(positions, bug.Position, forces.Cohesion);
    }
    if constexpr (Alignment) {
        VecScale(velocities, velocities, 1 / static_cast<Extended>(neighbours.size()));
        VecSub(velocities, bug.Velocity, forces.Alignment);
    }
}

// Away from the neighbours: the mean of the directions from each neighbour
// to the bug. The sum has a loop of its own: with the sums of the other
// forces beside it, its values would no longer fit the processor's eight
// registers of extended precision.
template <typename Neighbour>
Vector separation(const std::vector<Neighbour>& neighbours, const TBug& bug) {
    const Extended share = 1 / static_cast<Extended>(neighbours.size());
    const Vector position = bug.Position;
    Vector sum;
    for (const Neighbour m : neighbours) {
        Vector away(position[0] - positionOf(m, 0), position[1] - positionOf(m, 1));
        VecNormalize(away, away);
        VecScale(away, away, share);
        VecAdd(sum, away, sum);
    }
    // A copy: had the sum been the result itself, the compiler would have had
    // to store it after every neighbour, in case a neighbour's position
    // shared its memory.
    return Vector(sum[0], sum[1]);
}

template <typename Neighbour>
TGroupForces sumForces(const std::vector<Neighbour>& neighbours, const TBug& bug,
                       TGroupKinds kinds) {
    TGroupForces forces;
    const bool cohesion = (kinds & GroupKindBit(bkCohesion)) != 0;
    const bool alignment = (kinds & GroupKindBit(bkAlignment)) != 0;
    if (cohesion && alignment)
        addMeanForces<true, true>(neighbours, bug, forces);
    else if (cohesion)
        addMeanForces<true, false>(neighbours, bug, forces);
    else if (alignment)
        addMeanForces<false, true>(neighbours, bug, forces);
    if ((kinds & GroupKindBit(bkSeparation)) != 0)
        forces.Separation = separation(neighbours, bug);
    return forces;
}

} // namespace

bool SameSelection(const TSteeringBehaviour& a, const TSteeringBehaviour& b) {
    return a.SensorRangeOn == b.SensorRangeOn && a.AngleOn == b.AngleOn &&
           a.SensorRange == b.SensorRange && a.Angle == b.Angle;
}

TGroupForces GroupForces(const TSteeringBehaviour& selection, const TBug& bug,
                         const TFrameContext& frame, TGroupKinds kinds) {
    // Runs for every bug every frame: the neighbour list reuses one buffer.
    thread_local TNeighbours neighbours;
    CollectNeighbours(selection, bug, frame, neighbours);
    if (!neighbours.States.empty())
        return sumForces(neighbours.States, bug, kinds);
    if (!neighbours.Members.empty())
        return sumForces(neighbours.Members, bug, kinds);
    return {};
}

Vector GroupForce(const TSteeringBehaviour& behaviour, const TBug& bug) {
    return GroupForce(behaviour, bug, TFrameContext{});
}

Vector GroupForce(const TSteeringBehaviour& behaviour, const TBug& bug,
                  const TFrameContext& frame) {
    if (!IsGroupKind(behaviour.Kind))
        return {};
    return GroupForces(behaviour, bug, frame, GroupKindBit(behaviour.Kind)).Of(behaviour.Kind);
}

} // namespace kova
