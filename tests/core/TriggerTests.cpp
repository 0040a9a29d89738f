#include "RandomOracle.h"
#include "foundations/Random.h"
#include "foundations/Streams.h"
#include "steering/SteeringBehaviour.h"
#include "world/Bug.h"
#include "world/BugGroup.h"
#include "world/Space.h"
#include "world/Trigger.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace kova {
namespace {

std::vector<const TVariantExtended*> values(const TDefaultBug& t) {
    return {&t.DiameterVariantValue,    &t.MaxForceVariantValue,     &t.MinSpeedVariantValue,
            &t.OrientationVariantValue, &t.CurrentSpeedVariantValue, &t.MaxSpeedVariantValue,
            &t.MassVariantValue};
}

class TriggerTest : public testing::Test {
protected:
    std::unique_ptr<TBug> newBug() { return std::make_unique<TBug>(group); }

    TBugGroup group{nullptr};
    TFrameContext frame;
};

TEST_F(TriggerTest, Defaults) {
    SetIdCounter(0);
    TTrigger trigger("Trigger_0");
    EXPECT_EQ(trigger.Id, 1);
    EXPECT_EQ(trigger.Template.Id, 2);
    EXPECT_EQ(trigger.Name, "Trigger_0");
    EXPECT_EQ(trigger.Second, 1);
    EXPECT_EQ(trigger.Frame, 0);
    EXPECT_FALSE(trigger.ChangeBehaviours);
    EXPECT_FALSE(trigger.ReservedFlag);
    EXPECT_EQ(trigger.ReservedByte, 0);
    EXPECT_EQ(trigger.Template.Name, "Member");
    EXPECT_TRUE(trigger.Template.Behaviours->empty());
    for (const TVariantExtended* v : values(trigger.Template))
        EXPECT_FALSE(v->Apply);
    // The other template defaults stay.
    EXPECT_EQ(trigger.Template.MaxSpeedVariantValue.BaseValue, 80);
    EXPECT_EQ(trigger.Template.DiameterVariantValue.BaseValue, 5);
}

TEST_F(TriggerTest, FiringWithNothingTickedChangesNothing) {
    TTrigger trigger("T");
    auto bug = newBug();
    bug->SetPosition(Vector(3, 4));
    const TBehaviourListPtr list = bug->Behaviours;
    SetRandSeed(5);
    trigger.Fire(*bug);
    EXPECT_EQ(RandSeed(), 5u); // nothing drawn
    EXPECT_EQ(bug->Mass, 10);
    EXPECT_EQ(bug->MaxSpeed, 80);
    EXPECT_EQ(bug->MinSpeed, 1);
    EXPECT_EQ(bug->CurrentSpeed, 10);
    EXPECT_EQ(bug->Orientation(), 0);
    EXPECT_EQ(bug->MaxForce, 30);
    EXPECT_EQ(bug->Shape.Size, Vector(5, 5));
    EXPECT_EQ(bug->Velocity, Vector(10, 0));
    EXPECT_EQ(bug->Behaviours, list);
    EXPECT_EQ(bug->CombinationMethod, 0);
}

TEST_F(TriggerTest, ChangeBehavioursLendsTheTemplatesList) {
    auto trigger = std::make_unique<TTrigger>("T");
    trigger->SetChangeBehaviours(true);
    trigger->Template.SetCombinationMethod(cmPriority);
    trigger->Template.Behaviours->push_back(std::make_unique<TSteeringBehaviour>(bkFlee));
    auto bug = newBug();
    const TBehaviourListPtr own = bug->Behaviours;

    trigger->Fire(*bug);
    EXPECT_EQ(bug->Behaviours, trigger->Template.Behaviours);
    EXPECT_EQ(bug->StartBehaviours, own);
    EXPECT_EQ(bug->CombinationMethod, cmPriority);
    // No value is ticked, so none changes.
    EXPECT_EQ(bug->Velocity, Vector(10, 0));

    // Edits of the trigger's list are seen by the bug at once.
    trigger->Template.Behaviours->push_back(std::make_unique<TSteeringBehaviour>(bkSeek));
    EXPECT_EQ(bug->Behaviours->size(), 2u);

    // The list outlives the trigger while the bug still steers with it.
    trigger.reset();
    ASSERT_EQ(bug->Behaviours->size(), 2u);
    EXPECT_EQ((*bug->Behaviours)[0]->Kind, bkFlee);

    // Rewinding brings back the bug's own list; the method stays.
    bug->RestoreStartValues();
    EXPECT_EQ(bug->Behaviours, own);
    EXPECT_EQ(bug->CombinationMethod, cmPriority);
}

TEST_F(TriggerTest, TickedValuesAreDrawnInOrder) {
    TTrigger trigger("T");
    TDefaultBug& t = trigger.Template;
    auto tick = [](TVariantExtended& v, Extended base) {
        v.SetApply(true);
        v.SetBaseValue(base);
        v.SetDifference(50);
    };
    tick(t.MassVariantValue, 8);
    tick(t.MaxSpeedVariantValue, 60);
    tick(t.MinSpeedVariantValue, 2);
    tick(t.CurrentSpeedVariantValue, 12);
    tick(t.OrientationVariantValue, 100);
    tick(t.MaxForceVariantValue, 20);
    tick(t.DiameterVariantValue, 4);

    auto bug = newBug();
    SetRandSeed(4242);
    test::RandomOracle oracle(4242);
    auto draw = [&](Extended base) {
        return base + (static_cast<Extended>(oracle.Next(51)) / 100) * base;
    };
    trigger.Fire(*bug);
    const Extended mass = draw(8);
    const Extended maxSpeed = draw(60);
    const Extended minSpeed = draw(2);
    const Extended speed = draw(12);
    const Extended orientation = draw(100);
    const Extended maxForce = draw(20);
    const Extended diameter = draw(4);
    EXPECT_EQ(bug->Mass, mass);
    EXPECT_EQ(bug->MaxSpeed, maxSpeed);
    EXPECT_EQ(bug->MinSpeed, minSpeed);
    EXPECT_EQ(bug->CurrentSpeed, speed);
    EXPECT_EQ(bug->Orientation(), orientation);
    EXPECT_EQ(bug->MaxForce, maxForce);
    EXPECT_EQ(bug->Shape.Size, Vector(diameter, diameter));
    EXPECT_EQ(RandSeed(), oracle.Seed());
    const Extended radians = orientation * kPi / 180;
    EXPECT_NEAR(static_cast<double>(bug->Velocity[0]), static_cast<double>(speed * cosl(radians)),
                1e-12);
    EXPECT_NEAR(static_cast<double>(bug->Velocity[1]), static_cast<double>(speed * sinl(radians)),
                1e-12);

    // Values with the flag off keep their value and take no random number.
    t.MassVariantValue.SetApply(false);
    t.MinSpeedVariantValue.SetApply(false);
    t.OrientationVariantValue.SetApply(false);
    t.DiameterVariantValue.SetApply(false);
    auto other = newBug();
    other->SetOrientation(90);
    SetRandSeed(oracle.Seed());
    trigger.Fire(*other);
    const Extended maxSpeed2 = draw(60);
    const Extended speed2 = draw(12);
    const Extended maxForce2 = draw(20);
    EXPECT_EQ(other->Mass, 10);
    EXPECT_EQ(other->MinSpeed, 1);
    EXPECT_EQ(other->Orientation(), 90);
    EXPECT_EQ(other->Shape.Size, Vector(5, 5));
    EXPECT_EQ(other->MaxSpeed, maxSpeed2);
    EXPECT_EQ(other->MaxForce, maxForce2);
    // The speed rescales the velocity and keeps its heading.
    EXPECT_NEAR(static_cast<double>(other->Velocity[0]), 0, 1e-12);
    EXPECT_NEAR(static_cast<double>(other->Velocity[1]), static_cast<double>(speed2), 1e-12);
    EXPECT_EQ(RandSeed(), oracle.Seed());
}

TEST_F(TriggerTest, DueTriggersFireAtTheStartOfStep) {
    TTrigger turn("Turn");
    turn.SetSecond(0);
    turn.SetFrame(0);
    turn.Template.OrientationVariantValue.SetApply(true);
    turn.Template.OrientationVariantValue.SetBaseValue(90);

    auto bug = newBug();
    bug->Triggers = {&turn};

    // Not due: a later frame of the same second.
    TFrameContext later = frame;
    later.CurrentFrame = 1;
    bug->Step(later);
    EXPECT_NEAR(static_cast<double>(bug->Velocity[0]), 11, 1e-12);
    EXPECT_EQ(bug->Orientation(), 0);

    // Due at 0 : 0: the heading turns before the steering acts, so the force
    // (the velocity) pushes along +y and the speed is the old one plus a tenth.
    bug->SetCurrentSpeed(10);
    bug->SetPosition(Vector(100, 100));
    bug->Step(frame);
    EXPECT_NEAR(static_cast<double>(bug->Velocity[0]), 0, 1e-12);
    EXPECT_NEAR(static_cast<double>(bug->Velocity[1]), 11, 1e-12);
    EXPECT_NEAR(static_cast<double>(bug->Orientation()), 90, 1e-12);
    EXPECT_NEAR(static_cast<double>(bug->Position[0]), 100, 1e-12);
    EXPECT_NEAR(static_cast<double>(bug->Position[1]), 100.44, 1e-12);

    // The second counts as well.
    turn.SetSecond(2);
    turn.SetFrame(3);
    bug->SetOrientation(0);
    TFrameContext wrongSecond = frame;
    wrongSecond.CurrentSecond = 1;
    wrongSecond.CurrentFrame = 3;
    bug->Step(wrongSecond);
    EXPECT_NEAR(static_cast<double>(bug->Orientation()), 0, 1e-12);
    TFrameContext due = frame;
    due.CurrentSecond = 2;
    due.CurrentFrame = 3;
    bug->Step(due);
    EXPECT_NEAR(static_cast<double>(bug->Orientation()), 90, 1e-12);
}

TEST_F(TriggerTest, SeveralDueTriggersFireInListOrder) {
    TTrigger light("Light");
    TTrigger heavy("Heavy");
    for (TTrigger* t : {&light, &heavy}) {
        t->SetSecond(0);
        t->SetFrame(0);
        t->Template.MassVariantValue.SetApply(true);
    }
    light.Template.MassVariantValue.SetBaseValue(1);
    heavy.Template.MassVariantValue.SetBaseValue(50);

    auto bug = newBug();
    bug->Triggers = {&light, &heavy};
    bug->Step(frame);
    EXPECT_EQ(bug->Mass, 50);
    // The acceleration of the same frame already uses the last mass.
    EXPECT_NEAR(static_cast<double>(bug->Acceleration[0]), 10.0 / 50, 1e-15);

    bug->Triggers = {&heavy, &light};
    bug->Step(frame);
    EXPECT_EQ(bug->Mass, 1);

    // A trigger listed twice fires twice: two draws from the generator.
    heavy.Template.MassVariantValue.SetDifference(50);
    bug->Triggers = {&heavy, &heavy};
    SetRandSeed(123);
    test::RandomOracle oracle(123);
    bug->Step(frame);
    oracle.Next(51);
    const Extended second = 50 + (static_cast<Extended>(oracle.Next(51)) / 100) * 50;
    EXPECT_EQ(bug->Mass, second);
    EXPECT_EQ(RandSeed(), oracle.Seed());
}

TEST_F(TriggerTest, RecordRoundTrip) {
    TTrigger trigger("Trigger_4");
    trigger.SetSecond(300);
    trigger.SetFrame(24);
    trigger.SetChangeBehaviours(true);
    trigger.SetReservedFlag(true);
    trigger.SetReservedByte(0xAB);
    trigger.Template.MaxSpeedVariantValue.SetBaseValue(33);
    trigger.Template.MaxSpeedVariantValue.SetApply(true);
    trigger.Template.SetCombinationMethod(cmWeightFactors);
    trigger.Template.Behaviours->push_back(std::make_unique<TSteeringBehaviour>(bkArrival));

    TMemoryStream stream;
    trigger.SaveToStream(stream);
    stream.WriteByte(0xEE);

    // Name "Trigger_4", Id; then 300, 24, true, true; then the raw byte.
    const auto& bytes = stream.Bytes();
    const std::size_t head = 2 + 9 + (trigger.Id < 128 ? 2 : 3);
    ASSERT_GT(bytes.size(), head + 8);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + head, bytes.begin() + head + 8),
              (std::vector<std::uint8_t>{0x03, 0x2C, 0x01, 0x02, 0x18, 0x09, 0x09, 0xAB}));

    TTrigger loaded(" ");
    stream.SetPosition(0);
    loaded.LoadFromStream(stream);
    std::uint8_t behind = 0;
    ASSERT_EQ(stream.ReadByte(behind), 1u);
    EXPECT_EQ(behind, 0xEE);
    EXPECT_EQ(loaded.Name, "Trigger_4");
    EXPECT_EQ(loaded.Id, trigger.Id);
    EXPECT_EQ(loaded.Second, 300);
    EXPECT_EQ(loaded.Frame, 24);
    EXPECT_TRUE(loaded.ChangeBehaviours);
    EXPECT_TRUE(loaded.ReservedFlag);
    EXPECT_EQ(loaded.ReservedByte, 0xAB);
    EXPECT_EQ(loaded.Template.Id, trigger.Template.Id);
    EXPECT_EQ(loaded.Template.MaxSpeedVariantValue, trigger.Template.MaxSpeedVariantValue);
    EXPECT_FALSE(loaded.Template.MassVariantValue.Apply);
    EXPECT_EQ(loaded.Template.CombinationMethod, cmWeightFactors);
    ASSERT_EQ(loaded.Template.Behaviours->size(), 1u);
    EXPECT_EQ((*loaded.Template.Behaviours)[0]->Kind, bkArrival);
}

TEST(SpaceTest, DefaultsAndRecord) {
    SetIdCounter(7);
    TSpace space;
    EXPECT_EQ(IdCounter(), 7); // takes no Id
    EXPECT_EQ(space.Id, 0);
    EXPECT_EQ(space.Name, "");
    EXPECT_EQ(space.Width, 400);
    EXPECT_EQ(space.Height, 300);
    EXPECT_EQ(space.Color, 12572607u);
    EXPECT_EQ(space.Color, 191u + 215u * 256 + 191u * 65536);

    space.SetWidth(640);
    space.SetHeight(480);
    TMemoryStream stream;
    space.SaveToStream(stream);
    const auto& bytes = stream.Bytes();
    ASSERT_EQ(bytes.size(), 4u + 11 + 11 + 5);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4),
              (std::vector<std::uint8_t>{0x06, 0x00, 0x02, 0x00}));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 5, bytes.end()),
              (std::vector<std::uint8_t>{0x04, 0xBF, 0xD7, 0xBF, 0x00}));

    TSpace loaded;
    loaded.SetWidth(1);
    loaded.SetHeight(1);
    loaded.SetColor(0);
    stream.SetPosition(0);
    loaded.LoadFromStream(stream);
    EXPECT_EQ(loaded.Width, 640);
    EXPECT_EQ(loaded.Height, 480);
    EXPECT_EQ(loaded.Color, 12572607u);
    EXPECT_EQ(stream.Position(), stream.Size());
}

} // namespace
} // namespace kova
