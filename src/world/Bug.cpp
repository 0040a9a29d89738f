#include "world/Bug.h"

#include "foundations/ExtendedMath.h"
#include "foundations/Prefetch.h"
#include "foundations/Streams.h"
#include "steering/SteeringBehaviour.h"
#include "world/BugGroup.h"
#include "world/Trigger.h"

#include <algorithm>
#include <cmath>

namespace kova {

// --- TBasisBug -------------------------------------------------------------

TBasisBug::TBasisBug() : Behaviours(std::make_shared<TBehaviourList>()) {}

TBasisBug::~TBasisBug() = default;

void TBasisBug::SortBehavioursByPriority() {
    std::stable_sort(Behaviours->begin(), Behaviours->end(),
                     [](const auto& a, const auto& b) { return a->Priority < b->Priority; });
}

void TBasisBug::SaveToStream(TStream& stream) const {
    TNamedObject::SaveToStream(stream);
    TWriter writer(stream);
    writer.WriteInteger(static_cast<std::int32_t>(Triggers.size()));
    for (const TTrigger* trigger : Triggers)
        writer.WriteInteger(trigger->Id);
    writer.WriteInteger(static_cast<std::int32_t>(Behaviours->size()));
    writer.Release();
    stream.WriteByte(CombinationMethod);
    for (const auto& behaviour : *Behaviours)
        behaviour->SaveToStream(stream);
}

void TBasisBug::LoadFromStream(TStream& stream) {
    TNamedObject::LoadFromStream(stream);
    TReader reader(stream);
    const std::int32_t triggerCount = reader.ReadInteger();
    Triggers.clear();
    StoredTriggerIds.clear();
    for (std::int32_t i = 0; i < triggerCount; ++i)
        StoredTriggerIds.push_back(reader.ReadInteger());
    const std::int32_t behaviourCount = reader.ReadInteger();
    reader.Release();
    stream.ReadRecordByte(CombinationMethod);
    for (std::int32_t i = 0; i < behaviourCount; ++i) {
        auto behaviour = std::make_unique<TSteeringBehaviour>();
        behaviour->LoadFromStream(stream);
        Behaviours->push_back(std::move(behaviour));
    }
}

// --- TDefaultBug -----------------------------------------------------------

namespace {

TVariantExtended variantOf(Extended baseValue) {
    TVariantExtended value;
    value.BaseValue = baseValue;
    return value;
}

} // namespace

TDefaultBug::TDefaultBug()
    : DiameterVariantValue(variantOf(5)), MaxForceVariantValue(variantOf(30)),
      MinSpeedVariantValue(variantOf(1)), OrientationVariantValue(variantOf(0)),
      CurrentSpeedVariantValue(variantOf(10)), MaxSpeedVariantValue(variantOf(80)),
      MassVariantValue(variantOf(10)) {
    Name = "Member";
}

void TDefaultBug::SaveToStream(TStream& stream) const {
    TBasisBug::SaveToStream(stream);
    CurrentSpeedVariantValue.SaveToStream(stream);
    DiameterVariantValue.SaveToStream(stream);
    MassVariantValue.SaveToStream(stream);
    MaxForceVariantValue.SaveToStream(stream);
    MaxSpeedVariantValue.SaveToStream(stream);
    MinSpeedVariantValue.SaveToStream(stream);
    OrientationVariantValue.SaveToStream(stream);
}

void TDefaultBug::LoadFromStream(TStream& stream) {
    TBasisBug::LoadFromStream(stream);
    CurrentSpeedVariantValue.LoadFromStream(stream);
    DiameterVariantValue.LoadFromStream(stream);
    MassVariantValue.LoadFromStream(stream);
    MaxForceVariantValue.LoadFromStream(stream);
    MaxSpeedVariantValue.LoadFromStream(stream);
    MinSpeedVariantValue.LoadFromStream(stream);
    OrientationVariantValue.LoadFromStream(stream);
}

// --- TBug ------------------------------------------------------------------

namespace {

// The direction of a velocity that is not zero, in degrees.
Extended headingOf(const Vector& velocity) {
    const Extended c = velocity[0] / VecLength(velocity);
    const Extended angle = ArcTangent2(sqrtl(std::max<Extended>(0, 1 - c * c)), c);
    const Extended degrees = angle * 180 / kPi;
    return velocity[1] < 0 ? 360 - degrees : degrees;
}

} // namespace

TBug::TBug(TBugGroup& group)
    : Element(group.Doc()), StartBehaviours(Behaviours), ownBehaviours_(Behaviours) {
    Group = &group;
    ApplyTemplate(group.Template);
    CopyList(group.Template.Triggers, Triggers);
    GroupMember = true;
}

TBug::~TBug() = default;

void TBug::SetCurrentSpeed(Extended speed) {
    // Rescaling may round the direction: the heading is kept as it was.
    AssignOrientation(Orientation());
    CurrentSpeed = speed;
    VecSetLength(Velocity, Velocity, speed);
}

Extended TBug::Orientation() const {
    return orientationFollowsVelocity_ ? headingOf(Velocity) : orientation_;
}

void TBug::AssignOrientation(Extended degrees) {
    orientation_ = degrees;
    orientationFollowsVelocity_ = false;
}

void TBug::SetOrientation(Extended degrees) {
    AssignOrientation(degrees);
    const Extended radians = degrees * kPi / 180;
    Velocity[0] = cosl(radians);
    Velocity[1] = sqrtl(1 - Velocity[0] * Velocity[0]);
    if (degrees > 180)
        Velocity[1] = -Velocity[1];
    VecSetLength(Velocity, Velocity, CurrentSpeed);
}

void TBug::ApplyTemplate(const TDefaultBug& tmpl) {
    Mass = tmpl.MassVariantValue.DrawValue();
    MaxSpeed = tmpl.MaxSpeedVariantValue.DrawValue();
    MinSpeed = tmpl.MinSpeedVariantValue.DrawValue();
    SetCurrentSpeed(tmpl.CurrentSpeedVariantValue.DrawValue());
    SetOrientation(tmpl.OrientationVariantValue.DrawValue());
    MaxForce = tmpl.MaxForceVariantValue.DrawValue();
    Shape.Size[0] = tmpl.DiameterVariantValue.DrawValue();
    Shape.Size[1] = Shape.Size[0];
    CombinationMethod = tmpl.CombinationMethod;
}

void TBug::fireDueTriggers(const TFrameContext& frame) {
    // Indexed: firing never changes the trigger list, but keep the walk robust.
    for (std::size_t i = 0; i < Triggers.size(); ++i)
        if (Triggers[i]->IsDue(frame.CurrentSecond, frame.CurrentFrame))
            Triggers[i]->Fire(*this);
}

void TBug::Step(const TFrameContext& frame) {
    fireDueTriggers(frame);

    // The velocity the heading follows until this step has moved the bug.
    const Vector previousVelocity = Velocity;
    SteeringForce = CombineSteering(*this, frame);
    VecLimit(SteeringForce, LimitedForce, MaxForce);
    if (Mass != 0)
        VecScale(LimitedForce, Acceleration, 1 / Mass);
    VecAdd(Velocity, Acceleration, Velocity);
    // Each limit reuses the speed the one before it left, when it left it.
    Extended speed = VecLimitInPlace(Velocity, VecLength(Velocity), MaxSpeed);
    if (MinSpeed != 0)
        speed = VecLimitInPlace(Velocity, speed, -MinSpeed);

    // A frame rate of 0 only comes from a damaged file; such a frame does not
    // move the bug rather than send it to infinity.
    if (frame.FPS != 0) {
        Vector increment;
        VecScale(Velocity, increment, 1 / static_cast<Extended>(frame.FPS));
        VecAdd(Position, increment, Position);
    }

    wrapIntoArena(frame);
    updateMotionState(previousVelocity, speed);
    UpdateBounds();
}

void TBug::wrapIntoArena(const TFrameContext& frame) {
    const Extended width = frame.ArenaWidth;
    const Extended height = frame.ArenaHeight;
    if (Position[0] < 0)
        Position[0] = width + Position[0];
    if (Position[1] < 0)
        Position[1] = height + Position[1];
    if (Position[0] > width)
        Position[0] = Position[0] - width;
    if (Position[1] > height)
        Position[1] = Position[1] - height;
}

void TBug::updateMotionState(const Vector& previousVelocity, Extended speed) {
    CurrentSpeed = speed;
    // The heading is worked out when asked for, which is rarely: for most
    // bugs never between two steps.
    if (!(CurrentSpeed == 0))
        orientationFollowsVelocity_ = true;
    else if (orientationFollowsVelocity_)
        AssignOrientation(headingOf(previousVelocity));
}

void TBug::UpdateBounds() {
    const Extended r = Shape.Size[0] / 2;
    Element.SetTopLeft({TruncToInt32(Position[0] - r), TruncToInt32(Position[1] - r)});
    Element.SetBottomRight({TruncToInt32(Position[0] + r), TruncToInt32(Position[1] + r)});
}

void TBug::StoreStartValues() {
    StartPosition[0] = Position[0];
    StartPosition[1] = Position[1];
    StartMaxSpeed = MaxSpeed;
    StartMinSpeed = MinSpeed;
    StartSpeed = CurrentSpeed;
    StartOrientation = Orientation();
    StartMass = Mass;
    StartMaxForce = MaxForce;
    StartBehaviours = Behaviours;
}

void TBug::RestoreStartValues() {
    Position[0] = StartPosition[0];
    Position[1] = StartPosition[1];
    SetMaxSpeed(StartMaxSpeed);
    SetMinSpeed(StartMinSpeed);
    SetCurrentSpeed(StartSpeed);
    SetOrientation(StartOrientation);
    SetMass(StartMass);
    SetMaxForce(StartMaxForce);
    Behaviours = StartBehaviours;
}

TBug::TRunState TBug::RunState() const {
    return {Position,  Velocity,     CurrentSpeed,
            MinSpeed,  MaxSpeed,     MaxForce,
            Mass,      orientation_, orientationFollowsVelocity_,
            Behaviours};
}

void TBug::RestoreRunState(const TRunState& state) {
    Position = state.Position;
    Velocity = state.Velocity;
    CurrentSpeed = state.CurrentSpeed;
    MinSpeed = state.MinSpeed;
    MaxSpeed = state.MaxSpeed;
    MaxForce = state.MaxForce;
    Mass = state.Mass;
    orientation_ = state.Orientation;
    orientationFollowsVelocity_ = state.OrientationFollowsVelocity;
    Behaviours = state.Behaviours;
    RefreshElement();
}

void TBug::RefreshElement() {
    Element.SetKind(Shape.Kind);
    if (Group != nullptr)
        Element.SetColor(Group->Color);
    UpdateBounds();
}

void TBug::UseOwnBehaviours() {
    Behaviours = ownBehaviours_;
    StartBehaviours = ownBehaviours_;
}

void TBug::SaveToStream(TStream& stream) const {
    TBasisBug::SaveToStream(stream);
    TWriter writer(stream);
    writer.WriteFloat(Mass);
    writer.WriteFloat(CurrentSpeed);
    writer.WriteFloat(MinSpeed);
    writer.WriteFloat(MaxSpeed);
    writer.WriteFloat(MaxForce);
    writer.WriteFloat(Orientation());
    writer.WriteBoolean(GroupMember);
    writer.Release();
    VecWrite(Velocity, stream);
    VecWrite(Position, stream);
    VecWrite(SteeringForce, stream);
    VecWrite(LimitedForce, stream);
    VecWrite(Acceleration, stream);
    VecWrite(StartPosition, stream);
    Shape.SaveToStream(stream);
}

void TBug::LoadFromStream(TStream& stream) {
    TBasisBug::LoadFromStream(stream);
    TReader reader(stream);
    Mass = reader.ReadFloat();
    CurrentSpeed = reader.ReadFloat();
    MinSpeed = reader.ReadFloat();
    MaxSpeed = reader.ReadFloat();
    MaxForce = reader.ReadFloat();
    AssignOrientation(reader.ReadFloat());
    GroupMember = reader.ReadBoolean();
    reader.Release();
    VecRead(Velocity, stream);
    VecRead(Position, stream);
    VecRead(SteeringForce, stream);
    VecRead(LimitedForce, stream);
    VecRead(Acceleration, stream);
    VecRead(StartPosition, stream);
    Shape.LoadFromStream(stream);
    StoreStartValues();
    RefreshElement();
}

namespace {

// One link of each chain, for the bugs `spacing` apart from `next` on;
// bugAt(k) is the loop's k-th bug. Always inlined: the compiler counts a
// function that only prefetches as one without effects, and would drop the
// call altogether.
template <typename BugAt>
[[gnu::always_inline]] inline void prefetchStepData(const BugAt& bugAt, std::size_t count,
                                                    std::size_t next, std::size_t spacing) {
    // The part of the bug its step reads, from its combination method to the
    // acceleration, before the start values.
    if (next + 3 * spacing < count) {
        const TBug& bug = bugAt(next + 3 * spacing);
        PrefetchRange(&bug.CombinationMethod, &bug.StartOrientation);
    }
    // The behaviour list.
    if (next + 2 * spacing < count)
        PrefetchLine(bugAt(next + 2 * spacing).Behaviours.get());
    // The list's array of behaviours.
    if (next + spacing < count && bugAt(next + spacing).Behaviours)
        PrefetchLine(bugAt(next + spacing).Behaviours->data());
    // The behaviours.
    if (next < count && bugAt(next).Behaviours)
        for (const auto& behaviour : *bugAt(next).Behaviours)
            PrefetchRange(behaviour.get(), behaviour.get() + 1);
}

} // namespace

void PrefetchStepData(std::span<const TBug* const> bugs, std::size_t next, std::size_t spacing) {
    prefetchStepData([bugs](std::size_t k) -> const TBug& { return *bugs[k]; }, bugs.size(), next,
                     spacing);
}

void PrefetchStepData(const std::vector<std::unique_ptr<TBug>>& members, std::size_t next,
                      std::size_t spacing) {
    prefetchStepData([&members](std::size_t k) -> const TBug& { return *members[k]; },
                     members.size(), next, spacing);
}

} // namespace kova
