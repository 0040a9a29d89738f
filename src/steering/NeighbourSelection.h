#pragma once

#include "foundations/Matrix.h"

#include <cstdint>
#include <vector>

namespace kova {

class TBug;
class TSteeringBehaviour;
struct TFrameContext;

// The members of the bug's group that the behaviour perceives, in member order:
// within range (strictly) and outside the blind sector behind the bug. The bug
// itself is included while the range test is off.
std::vector<TBug*> SelectNeighbours(const TSteeringBehaviour& behaviour, const TBug& bug);

// A neighbour's place in the member list, position and velocity: the member's
// own, or the neighbour grid's copies of them, which are the same values.
struct TNeighbour {
    std::uint32_t Index;
    const Vector* Position;
    const Vector* Velocity;
};

// The same members as SelectNeighbours, in the same order, into `out`. With the
// range test on and the frame's neighbour grid at hand only the members the
// grid reports near the bug are examined; the others are out of range anyway.
void CollectNeighbours(const TSteeringBehaviour& behaviour, const TBug& bug,
                       const TFrameContext& frame, std::vector<TNeighbour>& out);

} // namespace kova
