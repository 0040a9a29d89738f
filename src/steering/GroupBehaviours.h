#pragma once

#include "foundations/Matrix.h"
#include "steering/NeighbourSelection.h"

#include <cstdint>
#include <vector>

namespace kova {

class TBug;
class TSteeringBehaviour;
struct TFrameContext;

// Cohesion, Alignment and Separation, by the behaviour's kind. With the
// frame's neighbour grid the search is faster; the force is the same.
// Behaviours evaluated under one combination number (see NewCombination) with
// the same range and angle settings share one neighbour selection; 0 shares
// nothing.
Vector GroupForce(const TSteeringBehaviour& behaviour, const TBug& bug, const TFrameContext& frame,
                  std::uint64_t combination = 0);
// The same, searching all members.
Vector GroupForce(const TSteeringBehaviour& behaviour, const TBug& bug);

// A number, never 0 and never repeated, for the evaluation of one bug's
// behaviours in one frame.
std::uint64_t NewCombination();

} // namespace kova
