#pragma once

#include "foundations/Matrix.h"
#include "steering/NeighbourSelection.h"
#include "steering/SteeringBehaviour.h"

#include <cstdint>
#include <vector>

namespace kova {

class TBug;
struct TFrameContext;

// Cohesion, Alignment and Separation, by the behaviour's kind. With the
// frame's neighbour grid the search is faster; the force is the same.
Vector GroupForce(const TSteeringBehaviour& behaviour, const TBug& bug, const TFrameContext& frame);
// The same, searching all members.
Vector GroupForce(const TSteeringBehaviour& behaviour, const TBug& bug);

// A set of group behaviour kinds: bit k stands for kind k.
using TGroupKinds = std::uint16_t;
constexpr TGroupKinds GroupKindBit(std::uint8_t kind) {
    return static_cast<TGroupKinds>(1u << kind);
}

// The forces of the group behaviours over one selection of neighbours.
struct TGroupForces {
    Vector Cohesion;
    Vector Alignment;
    Vector Separation;

    // The force of a group kind.
    const Vector& Of(std::uint8_t kind) const {
        return kind == bkCohesion ? Cohesion : kind == bkAlignment ? Alignment : Separation;
    }
};

// The forces of the kinds in `kinds`, each the one GroupForce gives a
// behaviour of that kind with the range and angle settings of `selection`:
// the neighbours are selected once and visited once for all of them. The
// forces of the other kinds are zero.
TGroupForces GroupForces(const TSteeringBehaviour& selection, const TBug& bug,
                         const TFrameContext& frame, TGroupKinds kinds);

// Whether two behaviours perceive the same neighbours of a bug.
bool SameSelection(const TSteeringBehaviour& a, const TSteeringBehaviour& b);

} // namespace kova
