#include "steering/ObstacleAvoidance.h"

#include "steering/ObstacleIndex.h"
#include "steering/SteeringBehaviour.h"
#include "world/Bug.h"
#include "world/Obstacle.h"

#include <cmath>

namespace kova {

namespace {

// Outwards from the centre through the hit point, or back towards the centre
// when the bug is already inside the circle; MaxSpeed long.
Vector circleForce(const TObstacle& circle, const Vector& hit, const TBug& bug) {
    Vector force;
    if (InsideCircle(bug.Position, circle.Centre, circle.Radius))
        VecSub(circle.Centre, hit, force);
    else
        VecSub(hit, circle.Centre, force);
    VecNormalize(force, force);
    VecScale(force, force, bug.MaxSpeed);
    return force;
}

// Perpendicular to the line, towards the side on which the bug stands;
// MaxSpeed long.
Vector lineForce(const TObstacle& line, const TBug& bug) {
    Vector d;
    VecSub(line.P1, line.P2, d);
    Vector normal;
    if (d[0] != 0) {
        normal = Vector(-d[1] / d[0], 1);
        VecNormalize(normal, normal);
    } else {
        normal = Vector(-1, 0);
    }
    Vector probe;
    VecAdd(line.P1, normal, probe);
    const int bugSide = SideOfLine(line.P1, line.P2, bug.Position);
    const int normalSide = SideOfLine(line.P1, line.P2, probe);
    Vector force;
    VecScale(normal, force, bugSide == normalSide ? bug.MaxSpeed : -bug.MaxSpeed);
    return force;
}

} // namespace

Vector ObstacleAvoidance(const TSteeringBehaviour& behaviour, const TBug& bug) {
    return ObstacleAvoidance(behaviour, bug, TFrameContext{});
}

Vector ObstacleAvoidance(const TSteeringBehaviour& behaviour, const TBug& bug,
                         const TFrameContext& frame) {
    // The probe: from the bug along its heading, SensorRange long; a bug at
    // rest has no heading, so its probe ends where it starts.
    Vector heading;
    VecNormalize(bug.Velocity, heading);
    VecScale(heading, heading, behaviour.SensorRange);
    Vector probeEnd;
    VecAdd(bug.Position, heading, probeEnd);

    const TObstacleHit hit = FindNearestObstacle(behaviour, bug, probeEnd, frame.Obstacles);
    if (!hit.Found)
        return {};
    if (hit.Nearest->Kind == TObstacle::kCircle)
        return circleForce(*hit.Nearest, hit.Point, bug);
    return lineForce(*hit.Nearest, bug);
}

namespace {

// The nearest hit so far; an obstacle replaces it only when strictly nearer,
// so of two hits at the same distance the earlier in the list wins.
class TNearestHit {
public:
    TNearestHit(const TSteeringBehaviour& behaviour, const TBug& bug, const Vector& probeEnd)
        : bug_(bug), probeEnd_(probeEnd), range_(behaviour.SensorRange),
          best_(behaviour.SensorRange + 1) {}

    // The obstacle's figure is read from `figure`: the obstacle itself or a
    // copy of its figure.
    template <typename TFigure> void Consider(const TObstacle* obstacle, const TFigure& figure) {
        TIntersection hit;
        if (figure.Kind == TObstacle::kLine) {
            hit = IntersectSegments(bug_.Position, probeEnd_, figure.P1, figure.P2);
            if (hit.Hit) {
                Vector offset;
                VecSub(bug_.Position, hit.Point, offset);
                hit.Distance = VecLength(offset);
            }
        } else if (figure.Kind == TObstacle::kCircle) {
            hit = IntersectCircle(bug_.Position, probeEnd_, figure.Centre, figure.Radius, range_);
        } else {
            return;
        }
        if (hit.Hit && hit.Distance < best_) {
            best_ = hit.Distance;
            result_.Found = true;
            result_.Nearest = obstacle;
            result_.Point = hit.Point;
        }
    }

    const TObstacleHit& Result() const { return result_; }

private:
    const TBug& bug_;
    const Vector& probeEnd_;
    Extended range_;
    Extended best_;
    TObstacleHit result_;
};

} // namespace

TObstacleHit FindNearestObstacle(const TSteeringBehaviour& behaviour, const TBug& bug,
                                 const Vector& probeEnd, TObstacleIndex* index) {
    TNearestHit nearest(behaviour, bug, probeEnd);
    const TObstacleList& obstacles = behaviour.Obstacles;
    if (index != nullptr) {
        // Only the obstacles near the probe can be hit; they are examined in
        // list order, so the tie rule is kept.
        thread_local std::vector<std::uint32_t> candidates;
        index->Prepare(obstacles);
        if (index->Candidates(bug.Position, probeEnd, behaviour.SensorRange, candidates)) {
            for (const std::uint32_t i : candidates)
                nearest.Consider(obstacles[i], index->Figure(i));
            return nearest.Result();
        }
    }
    for (const TObstacle* obstacle : obstacles)
        if (obstacle != nullptr)
            nearest.Consider(obstacle, *obstacle);
    return nearest.Result();
}

TIntersection IntersectSegments(const Vector& a, const Vector& b, const Vector& c,
                                const Vector& d) {
    TIntersection result;
    const Extended den = (d[1] - c[1]) * (b[0] - a[0]) - (d[0] - c[0]) * (b[1] - a[1]);
    if (den == 0)
        return result;
    const Extended ua = ((d[0] - c[0]) * (a[1] - c[1]) - (d[1] - c[1]) * (a[0] - c[0])) / den;
    const Extended ub = ((b[0] - a[0]) * (a[1] - c[1]) - (b[1] - a[1]) * (a[0] - c[0])) / den;
    if (ua >= 0 && ua <= 1 && ub >= 0 && ub <= 1) {
        result.Hit = true;
        result.Point = Vector(a[0] + ua * (b[0] - a[0]), a[1] + ua * (b[1] - a[1]));
    }
    return result;
}

TIntersection IntersectCircle(const Vector& a, const Vector& b, const Vector& centre,
                              Extended radius, Extended range) {
    TIntersection result;
    // Computed with the circle's centre as origin.
    Vector ra;
    VecSub(a, centre, ra);
    Vector rb;
    VecSub(b, centre, rb);
    const Extended dx = rb[0] - ra[0];
    const Extended dy = rb[1] - ra[1];
    Extended dr2 = dx * dx + dy * dy;
    if (dr2 == 0)
        dr2 = 1;
    const Extended delta = ra[0] * rb[1] - rb[0] * ra[1];
    const Extended disc = radius * radius * dr2 - delta * delta;
    if (disc < 0)
        return result;

    const Extended s = sqrtl(disc);
    const Extended g = Sign(dy);
    Vector back;
    VecSub(a, b, back);

    // Only points that lie from A in the direction of the probe count.
    const auto consider = [&](const Vector& point, bool inclusive) {
        Vector offset;
        VecSub(a, point, offset);
        if (!SameQuadrant(offset, back))
            return;
        const Extended distance = VecLength(offset);
        const bool withinRange = inclusive ? distance <= range : distance < range;
        if (withinRange && (!result.Hit || distance < result.Distance)) {
            result.Hit = true;
            result.Point = point;
            result.Distance = distance;
        }
    };

    Vector first((delta * dy + g * dx * s) / dr2, (-delta * dx + fabsl(dy) * s) / dr2);
    VecAdd(first, centre, first);
    consider(first, false);

    // A tangent probe (disc = 0) touches the circle in one point only.
    if (disc > 0) {
        Vector second((delta * dy - g * dx * s) / dr2, (-delta * dx - fabsl(dy) * s) / dr2);
        VecAdd(second, centre, second);
        consider(second, true);
    }
    return result;
}

int SideOfLine(const Vector& c, const Vector& d, const Vector& x) {
    Vector u;
    VecSub(c, d, u);
    Vector w;
    VecSub(c, x, w);
    const Extended cross = w[0] * u[1] - u[0] * w[1];
    return cross >= 0 ? -1 : 1;
}

bool SameQuadrant(const Vector& u, const Vector& w) {
    return Sign(u[0]) == Sign(w[0]) && Sign(u[1]) == Sign(w[1]);
}

int Sign(Extended x) {
    return x >= 0 ? 1 : -1;
}

bool InsideCircle(const Vector& x, const Vector& centre, Extended radius) {
    Vector offset;
    VecSub(x, centre, offset);
    return VecLength(offset) < radius;
}

} // namespace kova
