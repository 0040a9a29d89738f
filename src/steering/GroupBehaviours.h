#pragma once

#include "foundations/Matrix.h"

#include <vector>

namespace kova {

class TBug;
class TSteeringBehaviour;

// The members of the bug's group that the behaviour perceives, in member order:
// within range (strictly) and outside the blind sector behind the bug. The bug
// itself is included while the range test is off.
std::vector<TBug*> SelectNeighbours(const TSteeringBehaviour& behaviour, const TBug& bug);

// Cohesion, Alignment and Separation, by the behaviour's kind.
Vector GroupForce(const TSteeringBehaviour& behaviour, const TBug& bug);

} // namespace kova
