#pragma once

#include "foundations/Matrix.h"

namespace kova {

class TBug;
class TSteeringBehaviour;
struct TFrameContext;

// Whether the bug perceives the behaviour's target, and the offset D from the
// bug to the target (zero when it is not seen). While the behaviour follows a
// bug, the target bug's position is first copied into TargetPoint.
struct TSensedTarget {
    bool Seen = false;
    Vector D;
};
TSensedTarget SenseTarget(TSteeringBehaviour& behaviour, const TBug& bug);

// While the behaviour follows a bug, copies the bug's position into
// TargetPoint. Only a position that differs is written, so that members
// sharing the behaviour (through a list a trigger lent them) merely read a
// target point that is already in place.
void FollowTargetBug(TSteeringBehaviour& behaviour);

// Seek, Flee, Moth-Seek, Moth-Flee and Arrival, by the behaviour's kind.
Vector TargetForce(TSteeringBehaviour& behaviour, const TBug& bug, const TFrameContext& frame);

} // namespace kova
