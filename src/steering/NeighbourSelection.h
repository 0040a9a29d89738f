#pragma once

#include "foundations/Matrix.h"

#include <cstdint>
#include <vector>

namespace kova {

class TBug;
class TSteeringBehaviour;
struct TFrameContext;
struct TMemberState;

// The members of the bug's group that the behaviour perceives, in member order:
// within range (strictly) and outside the blind sector behind the bug. The bug
// itself is included while the range test is off.
std::vector<TBug*> SelectNeighbours(const TSteeringBehaviour& behaviour, const TBug& bug);

// The members a behaviour perceives, in member order: their states as the
// frame's neighbour grid keeps them, split into doubles, which are faster to
// sum; or, without the grid or when a neighbour's state does not split
// exactly, the members themselves. One of the two lists holds them all.
struct TNeighbours {
    std::vector<const TMemberState*> States;
    std::vector<const TBug*> Members;

    void Clear() {
        States.clear();
        Members.clear();
    }
};

// The same members as SelectNeighbours, in the same order, into `out`. With the
// range test on and the frame's neighbour grid at hand only the members the
// grid reports near the bug are examined; the others are out of range anyway.
void CollectNeighbours(const TSteeringBehaviour& behaviour, const TBug& bug,
                       const TFrameContext& frame, TNeighbours& out);

} // namespace kova
