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

Vector BehaviourForce(TSteeringBehaviour& behaviour, TBug& bug, const TFrameContext& frame) {
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
        return GroupForce(behaviour, bug, frame);
    case bkObstacleAvoidance:
        return ObstacleAvoidance(behaviour, bug, frame);
    default:
        return {};
    }
}

namespace {

// The forces of one bug's behaviours in one frame, each worked out when the
// combination asks for it. The group behaviours of a flock perceive the same
// neighbours (their range and angle settings are alike): the first of them
// asked for works out the forces of all the group kinds in the list over
// those neighbours, in one pass, and the others take theirs from it.
class TBehaviourForces {
public:
    TBehaviourForces(const TBehaviourList& behaviours, TBug& bug, const TFrameContext& frame)
        : bug_(bug), frame_(frame), groupKinds_(groupKindsOf(behaviours)) {}

    Vector Of(TSteeringBehaviour& behaviour) {
        if (!IsGroupKind(behaviour.Kind))
            return BehaviourForce(behaviour, bug_, frame_);
        if (selection_ == nullptr || !SameSelection(*selection_, behaviour)) {
            groupForces_ = GroupForces(behaviour, bug_, frame_, groupKinds_);
            selection_ = &behaviour;
        }
        return groupForces_.Of(behaviour.Kind);
    }

private:
    static TGroupKinds groupKindsOf(const TBehaviourList& behaviours) {
        TGroupKinds kinds = 0;
        for (const auto& behaviour : behaviours)
            if (IsGroupKind(behaviour->Kind))
                kinds |= GroupKindBit(behaviour->Kind);
        return kinds;
    }

    TBug& bug_;
    const TFrameContext& frame_;
    TGroupKinds groupKinds_;
    // The behaviour whose neighbours groupForces_ were worked out over.
    const TSteeringBehaviour* selection_ = nullptr;
    TGroupForces groupForces_;
};

Vector linearCombination(const TBehaviourList& behaviours, TBehaviourForces& forces) {
    Vector sum;
    int count = 0;
    for (const auto& behaviour : behaviours) {
        const Vector force = forces.Of(*behaviour);
        if (!VecIsZero(force)) {
            VecAdd(sum, force, sum);
            ++count;
        }
    }
    if (count > 0)
        VecScale(sum, sum, 1 / static_cast<Extended>(count));
    return sum;
}

Vector weightedCombination(const TBehaviourList& behaviours, TBehaviourForces& forces) {
    Vector sum;
    Extended totalWeight = 0;
    for (const auto& behaviour : behaviours) {
        Vector force = forces.Of(*behaviour);
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

Vector priorityCombination(const TBehaviourList& behaviours, TBehaviourForces& forces) {
    for (const auto& behaviour : behaviours) {
        const Vector force = forces.Of(*behaviour);
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
    Vector force;
    switch (bug.CombinationMethod) {
    case cmLinearCombination: {
        TBehaviourForces forces(behaviours, bug, frame);
        force = linearCombination(behaviours, forces);
        break;
    }
    case cmWeightFactors: {
        TBehaviourForces forces(behaviours, bug, frame);
        force = weightedCombination(behaviours, forces);
        break;
    }
    case cmPriority: {
        TBehaviourForces forces(behaviours, bug, frame);
        force = priorityCombination(behaviours, forces);
        break;
    }
    default:
        // Priorized dithering was never implemented: no behaviour is evaluated.
        break;
    }
    if (force[0] == 0 && force[1] == 0)
        force = bug.Velocity;
    return force;
}

} // namespace kova
