#include "steering/TargetBehaviours.h"

#include "steering/SteeringBehaviour.h"
#include "world/Bug.h"

#include <cmath>

namespace kova {

namespace {

// Cosine of half the view cone's opening angle (degrees), converted to radians
// the way the bug converts its heading.
Extended halfConeCosine(Extended angle) {
    return cosl(((angle / 2) * kPi) / 180);
}

// Whether a target at offset d (length dLength) lies strictly inside the view
// cone around the bug's direction of motion. Without a direction (bug at rest)
// or without an offset (bug on its target) no angle exists, and the target
// counts as not seen.
bool insideViewCone(const TSteeringBehaviour& behaviour, const TBug& bug, const Vector& d,
                    Extended dLength) {
    const Extended speed = VecLength(bug.Velocity);
    if (!(speed > 0 && dLength > 0))
        return false;
    const Extended cosTheta = VecDot(bug.Velocity, d) / (speed * dLength);
    return cosTheta > halfConeCosine(behaviour.Angle);
}

// desired - V, with desired = unit(direction) * speed.
Vector steerTowards(const Vector& direction, Extended speed, const TBug& bug) {
    Vector desired = direction;
    VecNormalize(desired, desired);
    VecScale(desired, desired, speed);
    Vector force;
    VecSub(desired, bug.Velocity, force);
    return force;
}

Vector arrival(const TSteeringBehaviour& behaviour, const TBug& bug, const Vector& d) {
    const Extended distance = VecLength(d);
    Vector desired;
    if (distance != 0) {
        const Extended scaled = distance / behaviour.StoppingRadius * bug.MaxSpeed;
        // A NaN (zero stopping radius and zero maximum speed) takes the cap.
        const Extended speed = scaled < bug.MaxSpeed ? scaled : bug.MaxSpeed;
        VecScale(d, desired, speed / distance);
    }
    // On the target itself the desired velocity is zero, so the bug brakes
    // with -V, the limit of the formula as the distance goes to zero.
    Vector force;
    VecSub(desired, bug.Velocity, force);
    return force;
}

} // namespace

void FollowTargetBug(TSteeringBehaviour& behaviour) {
    if (behaviour.TargetIsBug && behaviour.TargetBug != nullptr &&
        !SameBits(behaviour.TargetPoint, behaviour.TargetBug->Position))
        behaviour.TargetPoint = behaviour.TargetBug->Position;
}

TSensedTarget SenseTarget(TSteeringBehaviour& behaviour, const TBug& bug) {
    FollowTargetBug(behaviour);

    TSensedTarget sensed;
    VecSub(behaviour.TargetPoint, bug.Position, sensed.D);

    if (!behaviour.SensorRangeOn && !behaviour.AngleOn) {
        sensed.Seen = true;
    } else {
        const Extended distance = VecLength(sensed.D);
        const bool inRange = behaviour.SensorRangeOn && distance <= behaviour.SensorRange;
        sensed.Seen = inRange;
        if (behaviour.AngleOn)
            sensed.Seen = insideViewCone(behaviour, bug, sensed.D, distance) &&
                          (!behaviour.SensorRangeOn || inRange);
    }

    if (!sensed.Seen)
        sensed.D = Vector();
    return sensed;
}

Vector TargetForce(TSteeringBehaviour& behaviour, const TBug& bug, const TFrameContext& frame) {
    const TSensedTarget sensed = SenseTarget(behaviour, bug);
    if (!sensed.Seen)
        return {};

    const Vector& d = sensed.D;
    switch (behaviour.Kind) {
    case bkSeek:
        return steerTowards(d, bug.MaxSpeed, bug);
    case bkFlee: {
        Vector away;
        VecScale(d, away, -1);
        return steerTowards(away, bug.MaxSpeed, bug);
    }
    case bkMothSeek:
    case bkMothFlee: {
        const Extended fps = frame.FPS;
        Vector force = d;
        VecNormalize(force, force);
        VecScale(force, force, behaviour.Kind == bkMothSeek ? fps : -fps);
        return force;
    }
    case bkArrival:
        return arrival(behaviour, bug, d);
    default:
        return {};
    }
}

} // namespace kova
