#include "steering/SteeringBehaviour.h"

#include "foundations/Streams.h"
#include "steering/GroupBehaviours.h"
#include "steering/ObstacleAvoidance.h"
#include "steering/TargetBehaviours.h"
#include "world/Bug.h"
#include "world/Obstacle.h"

namespace kova {

const char* BehaviourKindName(std::uint8_t kind) {
    static const char* const names[kBehaviourKindCount] = {
        "Seek",     "Flee",      "Moth-Seek",  "Moth-Flee",         "Arrival",
        "Cohesion", "Alignment", "Separation", "Obstacle Avoidance"};
    return kind < kBehaviourKindCount ? names[kind] : "";
}

TSteeringBehaviour::TSteeringBehaviour() = default;

TSteeringBehaviour::TSteeringBehaviour(std::uint8_t kind)
    : Kind(kind), Reserved(true), SensorRange(100), Angle(110),
      StoppingRadius(kind == bkArrival ? 100 : 0) {
    Name = BehaviourKindName(kind);
}

void TSteeringBehaviour::CopyFrom(const TSteeringBehaviour& source) {
    Name = source.Name;
    Weight = source.Weight;
    Priority = source.Priority;
    Reserved = source.Reserved;
    SensorRange = source.SensorRange;
    SensorRangeOn = source.SensorRangeOn;
    AngleOn = source.AngleOn;
    TargetPoint[0] = source.TargetPoint[0];
    TargetPoint[1] = source.TargetPoint[1];
    TargetBug = source.TargetBug;
    StoredTargetId = source.StoredTargetId;
    Kind = source.Kind;
    TargetIsBug = source.TargetIsBug;
    Angle = source.Angle;
    StoppingRadius = source.StoppingRadius;
    Obstacles = source.Obstacles;
}

void TSteeringBehaviour::SaveToStream(TStream& stream) const {
    TNamedObject::SaveToStream(stream);
    TWriter writer(stream);
    writer.WriteInteger(Weight);
    writer.WriteInteger(Priority);
    writer.WriteFloat(SensorRange);
    writer.WriteFloat(Angle);
    writer.WriteFloat(StoppingRadius);
    writer.WriteBoolean(Reserved);
    writer.WriteBoolean(SensorRangeOn);
    writer.WriteBoolean(TargetIsBug);
    writer.WriteBoolean(AngleOn);
    writer.WriteInteger(TargetBug != nullptr ? TargetBug->Id : StoredTargetId);
    writer.WriteInteger(static_cast<std::int32_t>(Obstacles.size()));
    for (const TObstacle* obstacle : Obstacles)
        writer.WriteInteger(obstacle->Id);
    writer.Release();
    VecWrite(TargetPoint, stream);
    stream.WriteByte(Kind);
}

void TSteeringBehaviour::LoadFromStream(TStream& stream) {
    TNamedObject::LoadFromStream(stream);
    TReader reader(stream);
    Weight = static_cast<std::uint16_t>(reader.ReadInteger());
    Priority = static_cast<std::uint16_t>(reader.ReadInteger());
    SensorRange = reader.ReadFloat();
    Angle = reader.ReadFloat();
    StoppingRadius = reader.ReadFloat();
    Reserved = reader.ReadBoolean();
    SensorRangeOn = reader.ReadBoolean();
    TargetIsBug = reader.ReadBoolean();
    AngleOn = reader.ReadBoolean();
    const std::int32_t targetId = reader.ReadInteger();
    StoredTargetId = targetId < 1 ? 0 : targetId;
    TargetBug = nullptr;
    const std::int32_t obstacleCount = reader.ReadInteger();
    Obstacles.clear();
    StoredObstacleIds.clear();
    for (std::int32_t i = 0; i < obstacleCount; ++i)
        StoredObstacleIds.push_back(reader.ReadInteger());
    reader.Release();
    VecRead(TargetPoint, stream);
    stream.ReadRecordByte(Kind);
}

Vector BehaviourForce(TSteeringBehaviour& behaviour, TBug& bug, const TFrameContext& frame,
                      std::uint64_t combination) {
    switch (behaviour.Kind) {
    case bkSeek:
    case bkFlee:
    case bkMothSeek:
    case bkMothFlee:
    case bkArrival:
        return TargetForce(behaviour, bug, frame);
    case bkCohesion:
    case bkAlignment:
    case bkSeparation:
        return GroupForce(behaviour, bug, frame, combination);
    case bkObstacleAvoidance:
        return ObstacleAvoidance(behaviour, bug, frame);
    default:
        return {};
    }
}

namespace {

Vector linearCombination(const TBehaviourList& behaviours, TBug& bug, const TFrameContext& frame,
                         std::uint64_t combination) {
    Vector sum;
    int count = 0;
    for (const auto& behaviour : behaviours) {
        const Vector force = BehaviourForce(*behaviour, bug, frame, combination);
        if (!VecIsZero(force)) {
            VecAdd(sum, force, sum);
            ++count;
        }
    }
    if (count > 0)
        VecScale(sum, sum, 1 / static_cast<Extended>(count));
    return sum;
}

Vector weightedCombination(const TBehaviourList& behaviours, TBug& bug, const TFrameContext& frame,
                           std::uint64_t combination) {
    Vector sum;
    Extended totalWeight = 0;
    for (const auto& behaviour : behaviours) {
        Vector force = BehaviourForce(*behaviour, bug, frame, combination);
        if (!VecIsZero(force)) {
            VecScale(force, force, behaviour->Weight);
            VecAdd(sum, force, sum);
            totalWeight += behaviour->Weight;
        }
    }
    if (totalWeight > 0)
        VecScale(sum, sum, 1 / totalWeight);
    return sum;
}

Vector priorityCombination(const TBehaviourList& behaviours, TBug& bug, const TFrameContext& frame,
                           std::uint64_t combination) {
    for (const auto& behaviour : behaviours) {
        const Vector force = BehaviourForce(*behaviour, bug, frame, combination);
        if (!VecIsZero(force))
            return force;
    }
    return {};
}

} // namespace

Vector CombineSteering(TBug& bug, const TFrameContext& frame) {
    // Evaluating behaviours never changes the bug's lists (triggers fire
    // before the combination), so the list is used without holding a share
    // of it: copying the shared pointer costs two atomic operations per step.
    const TBehaviourList& behaviours = *bug.Behaviours;
    const std::uint64_t combination = NewCombination();
    Vector force;
    switch (bug.CombinationMethod) {
    case cmLinearCombination:
        force = linearCombination(behaviours, bug, frame, combination);
        break;
    case cmWeightFactors:
        force = weightedCombination(behaviours, bug, frame, combination);
        break;
    case cmPriority:
        force = priorityCombination(behaviours, bug, frame, combination);
        break;
    default:
        // Priorized dithering was never implemented: no behaviour is evaluated.
        break;
    }
    if (force[0] == 0 && force[1] == 0)
        force = bug.Velocity;
    return force;
}

} // namespace kova
