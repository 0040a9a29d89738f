#pragma once

#include "foundations/Matrix.h"

namespace kova {

class TBug;
class TObstacle;
class TObstacleIndex;
class TSteeringBehaviour;
struct TFrameContext;

struct TObstacleHit {
    bool Found = false;
    const TObstacle* Nearest = nullptr;
    Vector Point;
};

struct TIntersection {
    bool Hit = false;
    Vector Point;
    Extended Distance = 0;
};

// Steers away from the nearest listed obstacle that the probe (from the bug's
// position along its heading, SensorRange long) hits; zero when none is hit.
// With the frame's obstacle index the search is faster; the force is the same.
Vector ObstacleAvoidance(const TSteeringBehaviour& behaviour, const TBug& bug,
                         const TFrameContext& frame);
Vector ObstacleAvoidance(const TSteeringBehaviour& behaviour, const TBug& bug);

// The nearest listed obstacle that the probe from the bug to probeEnd hits.
// An index only narrows the search.
TObstacleHit FindNearestObstacle(const TSteeringBehaviour& behaviour, const TBug& bug,
                                 const Vector& probeEnd, TObstacleIndex* index = nullptr);
// Segment A-B against segment C-D, both ends included.
TIntersection IntersectSegments(const Vector& a, const Vector& b, const Vector& c, const Vector& d);
// The line through A and B against a circle; only points ahead of A and within
// range count.
TIntersection IntersectCircle(const Vector& a, const Vector& b, const Vector& centre,
                              Extended radius, Extended range);
// -1 or +1; a point on the line counts as -1.
int SideOfLine(const Vector& c, const Vector& d, const Vector& x);
bool SameQuadrant(const Vector& u, const Vector& w);
int Sign(Extended x);
bool InsideCircle(const Vector& x, const Vector& centre, Extended radius);

} // namespace kova
