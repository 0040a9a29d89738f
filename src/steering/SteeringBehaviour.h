#pragma once

#include "foundations/Matrix.h"
#include "foundations/NamedObject.h"
#include "foundations/StoredIds.h"
#include "world/ObstacleList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kova {

class TBug;
class TObstacle;
struct TFrameContext;

// Behaviour kinds.
enum TBehaviourKind : std::uint8_t {
    bkSeek = 0,
    bkFlee = 1,
    bkMothSeek = 2,
    bkMothFlee = 3,
    bkArrival = 4,
    bkCohesion = 5,
    bkAlignment = 6,
    bkSeparation = 7,
    bkObstacleAvoidance = 8,
};
inline constexpr int kBehaviourKindCount = 9;

// Whether the kind is one of the group behaviours, which steer by the other
// members of the bug's group.
constexpr bool IsGroupKind(std::uint8_t kind) {
    return kind == bkCohesion || kind == bkAlignment || kind == bkSeparation;
}

// Combination methods of a bug's behaviour forces.
enum TCombinationMethod : std::uint8_t {
    cmLinearCombination = 0,
    cmWeightFactors = 1,
    cmPriority = 2,
    cmPriorizedDithering = 3,
};

// The default name of a new behaviour of a kind ("Seek", ..., "Obstacle
// Avoidance"); empty for codes above 8.
const char* BehaviourKindName(std::uint8_t kind);

// One steering rule. The kind selects the force computation; the other fields
// are its parameters.
class TSteeringBehaviour : public TNamedObject {
public:
    // A blank behaviour: every number 0, every flag false; the target of
    // CopyFrom and LoadFromStream.
    TSteeringBehaviour();
    // A behaviour of the kind with its defaults and the kind's name.
    explicit TSteeringBehaviour(std::uint8_t kind);

    void SetWeight(std::uint16_t weight) { Weight = weight; }
    void SetKind(std::uint8_t kind) { Kind = kind; }
    void SetSensorRange(Extended range) { SensorRange = range; }
    void SetTargetBug(TBug* bug) { TargetBug = bug; }
    void SetTargetPoint(const Vector& point) { TargetPoint = point; }
    void SetReserved(bool reserved) { Reserved = reserved; }
    void SetSensorRangeOn(bool on) { SensorRangeOn = on; }
    void SetTargetIsBug(bool on) { TargetIsBug = on; }
    void SetPriority(std::uint16_t priority) { Priority = priority; }
    void SetAngle(Extended angle) { Angle = angle; }
    void SetStoppingRadius(Extended radius) { StoppingRadius = radius; }
    void SetAngleOn(bool on) { AngleOn = on; }

    // Copies every field but the Id; the obstacle list becomes a list of its
    // own holding the same obstacles.
    void CopyFrom(const TSteeringBehaviour& source);

    // Target bug and obstacles are written as Ids. On reading they are kept in
    // StoredTargetId and StoredObstacleIds until the loader resolves them.
    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream);

    // Ordered to leave little padding between the 16-byte aligned extended
    // floats: every bug carries copies of its behaviours.
    std::uint8_t Kind = 0;
    bool Reserved = false;
    bool SensorRangeOn = false;
    bool TargetIsBug = false;
    Extended SensorRange = 0;
    Vector TargetPoint;
    Extended Angle = 0;
    Extended StoppingRadius = 0;
    TBug* TargetBug = nullptr;
    TObstacleList Obstacles;
    std::uint16_t Weight = 0;
    std::uint16_t Priority = 0;
    bool AngleOn = false;

    // References read from a file, awaiting resolution. StoredTargetId also
    // keeps the Id of a bug the behaviour no longer follows, which the record
    // carries on.
    std::int32_t StoredTargetId = 0;
    TStoredIds StoredObstacleIds;
};

// The force this behaviour asks of this bug in this frame; zero when it has
// nothing to act on or its kind is unknown.
Vector BehaviourForce(TSteeringBehaviour& behaviour, TBug& bug, const TFrameContext& frame);

// The bug's one steering force for this frame from its current behaviour list
// and combination method; the bug's own velocity when that force is zero. The
// group behaviours of the list with the same range and angle settings share
// one selection of neighbours.
Vector CombineSteering(TBug& bug, const TFrameContext& frame);

} // namespace kova
