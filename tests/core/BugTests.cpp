#include "AllocationCounter.h"
#include "RandomOracle.h"
#include "foundations/Random.h"
#include "foundations/Streams.h"
#include "steering/SteeringBehaviour.h"
#include "world/Bug.h"
#include "world/BugGroup.h"
#include "world/Trigger.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>

namespace kova {
namespace {

constexpr double kTolerance = 1e-12;

void expectNear(const Vector& v, double x, double y, double tolerance = kTolerance) {
    EXPECT_NEAR(static_cast<double>(v[0]), x, tolerance);
    EXPECT_NEAR(static_cast<double>(v[1]), y, tolerance);
}

class BugTest : public testing::Test {
protected:
    void SetUp() override { SetRandSeed(0); }

    std::unique_ptr<TBug> newBug() { return std::make_unique<TBug>(group); }

    // A bug at rest: no velocity, so Step moves it by nothing.
    std::unique_ptr<TBug> restingBug() {
        auto bug = newBug();
        bug->SetCurrentSpeed(0);
        return bug;
    }

    TBugGroup group{nullptr};
    TFrameContext frame; // 400 x 300 m, 25 fps, clock at 0 : 0
};

TEST_F(BugTest, NewTemplateDefaults) {
    const TDefaultBug& t = group.Template;
    EXPECT_EQ(t.Name, "Member");
    EXPECT_EQ(t.DiameterVariantValue.BaseValue, 5);
    EXPECT_EQ(t.MaxForceVariantValue.BaseValue, 30);
    EXPECT_EQ(t.MinSpeedVariantValue.BaseValue, 1);
    EXPECT_EQ(t.OrientationVariantValue.BaseValue, 0);
    EXPECT_EQ(t.CurrentSpeedVariantValue.BaseValue, 10);
    EXPECT_EQ(t.MaxSpeedVariantValue.BaseValue, 80);
    EXPECT_EQ(t.MassVariantValue.BaseValue, 10);
    for (const TVariantExtended* v :
         {&t.DiameterVariantValue, &t.MaxForceVariantValue, &t.MinSpeedVariantValue,
          &t.OrientationVariantValue, &t.CurrentSpeedVariantValue, &t.MaxSpeedVariantValue,
          &t.MassVariantValue}) {
        EXPECT_EQ(v->Difference, 0);
        EXPECT_EQ(v->SignMode, vtplus);
        EXPECT_TRUE(v->Apply);
    }
    EXPECT_TRUE(t.Behaviours->empty());
    EXPECT_TRUE(t.Triggers.empty());
    EXPECT_EQ(t.CombinationMethod, 0);

    auto bug = newBug();
    EXPECT_EQ(bug->Mass, 10);
    EXPECT_EQ(bug->MaxSpeed, 80);
    EXPECT_EQ(bug->MinSpeed, 1);
    EXPECT_EQ(bug->CurrentSpeed, 10);
    EXPECT_EQ(bug->MaxForce, 30);
    EXPECT_EQ(bug->Shape.Size, Vector(5, 5));
    EXPECT_EQ(bug->Shape.Kind, 2);
    EXPECT_EQ(bug->Orientation(), 0);
    EXPECT_EQ(bug->Velocity, Vector(10, 0));
    EXPECT_EQ(bug->Position, Vector(0, 0));
    EXPECT_EQ(bug->Group, &group);
    EXPECT_TRUE(bug->GroupMember);
    EXPECT_TRUE(bug->Behaviours->empty());
    EXPECT_EQ(bug->StartBehaviours, bug->Behaviours);
    EXPECT_EQ(bug->StartSpeed, 0); // start values wait for StoreStartValues
}

TEST_F(BugTest, ConstructionCopiesTheTemplatesTriggersOnlyWhenThereAreAny) {
    TTrigger a("A");
    TTrigger b("B");
    EXPECT_TRUE(newBug()->Triggers.empty());
    group.Template.Triggers = {&a, &b};
    EXPECT_EQ(newBug()->Triggers, (std::vector<TTrigger*>{&a, &b}));
}

TEST_F(BugTest, ApplyTemplateDrawsInAFixedOrder) {
    TDefaultBug& t = group.Template;
    auto setVariant = [](TVariantExtended& v, Extended base, VarianceType mode) {
        v.SetBaseValue(base);
        v.SetDifference(50);
        v.SetSignMode(mode);
        v.SetApply(false); // templates draw every value whatever its flag
    };
    setVariant(t.MassVariantValue, 8, vtplus);
    setVariant(t.MaxSpeedVariantValue, 60, vtplus);
    setVariant(t.MinSpeedVariantValue, 2, vtplusminus);
    setVariant(t.CurrentSpeedVariantValue, 12, vtplus);
    setVariant(t.OrientationVariantValue, 100, vtminus);
    setVariant(t.MaxForceVariantValue, 20, vtplus);
    setVariant(t.DiameterVariantValue, 4, vtplus);
    t.SetCombinationMethod(cmWeightFactors);

    test::RandomOracle oracle(31337);
    auto expected = [&](Extended base, VarianceType mode) {
        const Extended d = (static_cast<Extended>(oracle.Next(51)) / 100) * base;
        const bool subtract = mode == vtminus || (mode == vtplusminus && oracle.Next(2) == 1);
        return subtract ? base - d : base + d;
    };

    for (int pass = 0; pass < 2; ++pass) {
        std::unique_ptr<TBug> bug;
        if (pass == 0) {
            // Construction applies the template.
            SetRandSeed(oracle.Seed());
            bug = newBug();
        } else {
            bug = newBug();
            SetRandSeed(oracle.Seed());
            bug->ApplyTemplate(t);
        }
        const Extended mass = expected(8, vtplus);
        const Extended maxSpeed = expected(60, vtplus);
        const Extended minSpeed = expected(2, vtplusminus);
        const Extended speed = expected(12, vtplus);
        const Extended orientation = expected(100, vtminus);
        const Extended maxForce = expected(20, vtplus);
        const Extended diameter = expected(4, vtplus);

        EXPECT_EQ(bug->Mass, mass);
        EXPECT_EQ(bug->MaxSpeed, maxSpeed);
        EXPECT_EQ(bug->MinSpeed, minSpeed);
        EXPECT_EQ(bug->CurrentSpeed, speed);
        EXPECT_EQ(bug->Orientation(), orientation);
        EXPECT_EQ(bug->MaxForce, maxForce);
        EXPECT_EQ(bug->Shape.Size, Vector(diameter, diameter));
        EXPECT_EQ(bug->CombinationMethod, cmWeightFactors);
        EXPECT_EQ(RandSeed(), oracle.Seed());
        // The speed set before the heading gives the velocity its length.
        const Extended radians = orientation * kPi / 180;
        expectNear(bug->Velocity, static_cast<double>(speed * cosl(radians)),
                   static_cast<double>(speed * sinl(radians)));
    }
}

TEST_F(BugTest, SetOrientationAndSetCurrentSpeed) {
    auto bug = newBug();
    ASSERT_EQ(bug->CurrentSpeed, 10);

    bug->SetOrientation(90);
    expectNear(bug->Velocity, 0, 10);
    bug->SetOrientation(270);
    expectNear(bug->Velocity, 0, -10);
    // A negative angle points like its absolute value.
    bug->SetOrientation(-90);
    expectNear(bug->Velocity, 0, 10);
    bug->SetOrientation(180);
    expectNear(bug->Velocity, -10, 0);
    bug->SetOrientation(450);
    expectNear(bug->Velocity, 0, -10);
    EXPECT_EQ(bug->Orientation(), 450);
    bug->SetOrientation(225);
    expectNear(bug->Velocity, -10 / std::sqrt(2.0), -10 / std::sqrt(2.0));
    bug->SetOrientation(0);
    EXPECT_EQ(bug->Velocity, Vector(10, 0));

    bug->SetCurrentSpeed(4);
    EXPECT_EQ(bug->Velocity, Vector(4, 0));
    EXPECT_EQ(bug->CurrentSpeed, 4);
    bug->SetCurrentSpeed(0);
    EXPECT_TRUE(VecIsZero(bug->Velocity));
    // A zero velocity stays zero when the speed is set again ...
    bug->SetCurrentSpeed(7);
    EXPECT_TRUE(VecIsZero(bug->Velocity));
    EXPECT_EQ(bug->CurrentSpeed, 7);
    // ... and gets its length when a heading is set.
    bug->SetOrientation(90);
    expectNear(bug->Velocity, 0, 7);

    bug->SetCurrentSpeed(0);
    bug->SetOrientation(45);
    EXPECT_TRUE(VecIsZero(bug->Velocity));
}

TEST_F(BugTest, HundredFramesOfFreeAcceleration) {
    auto bug = newBug();
    bug->SetPosition(Vector(300, 150));
    // Expected motion from the physics: the force is the velocity capped at 30,
    // the mass 10, the speed capped at 80, the move speed / 25 per frame.
    Extended speed = 10;
    Extended x = 300;
    bool wrapped = false;
    for (int i = 1; i <= 100; ++i) {
        const Extended previous = bug->CurrentSpeed;
        bug->Step(frame);

        speed = std::min<Extended>(speed + std::min<Extended>(speed, 30) / 10, 80);
        x += speed / 25;
        if (x > 400) {
            x -= 400;
            wrapped = true;
        }
        ASSERT_NEAR(static_cast<double>(bug->CurrentSpeed), static_cast<double>(speed), 1e-9)
            << "frame " << i;
        ASSERT_NEAR(static_cast<double>(bug->Position[0]), static_cast<double>(x), 1e-9)
            << "frame " << i;
        EXPECT_EQ(bug->Position[1], 150);
        EXPECT_EQ(bug->Velocity[1], 0);
        EXPECT_EQ(bug->Orientation(), 0);
        if (previous < 30)
            EXPECT_NEAR(static_cast<double>(bug->CurrentSpeed / previous), 1.1, 1e-12);
        else
            EXPECT_NEAR(static_cast<double>(bug->CurrentSpeed),
                        static_cast<double>(std::min<Extended>(previous + 3, 80)), 1e-12);
        EXPECT_LE(bug->CurrentSpeed, 80 + 1e-15L);
        EXPECT_GE(bug->Position[0], 0);
        EXPECT_LE(bug->Position[0], 400);
        if (i == 1) {
            EXPECT_NEAR(static_cast<double>(bug->CurrentSpeed), 11, 1e-15);
            EXPECT_NEAR(static_cast<double>(bug->Position[0]), 300.44, 1e-12);
            expectNear(bug->SteeringForce, 10, 0);
            expectNear(bug->LimitedForce, 10, 0);
            expectNear(bug->Acceleration, 1, 0);
        }
    }
    EXPECT_TRUE(wrapped);
    EXPECT_NEAR(static_cast<double>(bug->CurrentSpeed), 80, 1e-12);
    expectNear(bug->LimitedForce, 30, 0, 1e-9);
}

TEST_F(BugTest, OrientationFollowsTheVelocity) {
    const struct {
        Vector velocity;
        double orientation;
    } cases[] = {{{0, -5}, 270}, {{-5, 0}, 180},  {{0, 5}, 90},  {{5, 0}, 0},
                 {{3, 3}, 45},   {{-3, -3}, 225}, {{3, -3}, 315}};
    for (const auto& c : cases) {
        auto bug = newBug();
        bug->Velocity = c.velocity;
        bug->Step(frame);
        EXPECT_NEAR(static_cast<double>(bug->Orientation()), c.orientation, 1e-12)
            << c.velocity[0] << ", " << c.velocity[1];
        EXPECT_NEAR(static_cast<double>(bug->CurrentSpeed),
                    static_cast<double>(VecLength(c.velocity) * 1.1L), 1e-12);
    }
}

TEST_F(BugTest, ABugAtRestStaysAtRestAndKeepsItsHeading) {
    auto bug = newBug();
    bug->SetOrientation(123);
    bug->SetCurrentSpeed(0);
    bug->SetPosition(Vector(50, 60));
    ASSERT_EQ(bug->MinSpeed, 1);
    for (int i = 0; i < 3; ++i)
        bug->Step(frame);
    EXPECT_TRUE(VecIsZero(bug->Velocity));
    EXPECT_EQ(bug->CurrentSpeed, 0);
    EXPECT_EQ(bug->Orientation(), 123);
    EXPECT_EQ(bug->Position, Vector(50, 60));
    EXPECT_EQ(bug->Element.TopLeft, (TPoint{47, 57}));
}

// The heading of a moving bug is worked out from its velocity when asked for;
// it must stay what it was after the bug's last move, whatever changes the
// velocity without moving the bug.
TEST_F(BugTest, TheHeadingOfTheLastMoveOutlastsRestAndRescaling) {
    const Vector directions[] = {{-3, -9}, {7, 1e-3L}, {-1, 1.0L / 3}, {5e-7L, -2}};
    const Extended speeds[] = {1.0L / 7, 3, 80.5L, 1e5L};
    for (const Vector& direction : directions) {
        const Extended expected = atan2l(direction[1], direction[0]) * 180 / kPi;
        const Extended degrees = expected < 0 ? expected + 360 : expected;
        for (const Extended speed : speeds) {
            auto bug = newBug();
            bug->SetMinSpeed(0);
            bug->Velocity = direction;
            bug->Step(frame);
            const Extended heading = bug->Orientation();
            ASSERT_NEAR(static_cast<double>(heading), static_cast<double>(degrees), 1e-9);

            bug->SetCurrentSpeed(speed);
            EXPECT_EQ(bug->Orientation(), heading) << "rescaled to " << speed;
            bug->StoreStartValues();
            EXPECT_EQ(bug->StartOrientation, heading);

            // Brought to rest by its speed limit.
            bug->Velocity = direction;
            bug->Step(frame);
            const Extended lastHeading = bug->Orientation();
            bug->SetMaxSpeed(0);
            bug->Step(frame);
            ASSERT_TRUE(VecIsZero(bug->Velocity));
            EXPECT_EQ(bug->Orientation(), lastHeading);

            TMemoryStream stream;
            bug->SaveToStream(stream);
            stream.SetPosition(0);
            TBug loaded(group);
            loaded.LoadFromStream(stream);
            EXPECT_EQ(loaded.Orientation(), lastHeading);
        }
    }
}

TEST_F(BugTest, MinimumSpeedAboveMaximumWins) {
    auto bug = newBug();
    bug->SetMaxSpeed(10);
    bug->SetMinSpeed(20);
    bug->Step(frame);
    EXPECT_NEAR(static_cast<double>(bug->CurrentSpeed), 20, 1e-12);

    // A slow bug is stretched to its minimum speed.
    auto slow = newBug();
    slow->SetCurrentSpeed(0.5L);
    slow->SetMinSpeed(2);
    slow->Step(frame);
    EXPECT_NEAR(static_cast<double>(slow->CurrentSpeed), 2, 1e-12);
    // Minimum 0 switches the floor off.
    auto free = newBug();
    free->SetCurrentSpeed(0.5L);
    free->SetMinSpeed(0);
    free->Step(frame);
    EXPECT_NEAR(static_cast<double>(free->CurrentSpeed), 0.55, 1e-12);
}

TEST_F(BugTest, PositionWrapsOncePerEdge) {
    const struct {
        Vector from;
        Vector to;
    } cases[] = {{{-1, 5}, {399, 5}},  {{401, 5}, {1, 5}},     {{400, 5}, {400, 5}},
                 {{0, 5}, {0, 5}},     {{5, -1}, {5, 299}},    {{5, 301}, {5, 1}},
                 {{5, 300}, {5, 300}}, {{-1, -1}, {399, 299}}, {{-500, 5}, {-100, 5}},
                 {{1000, 5}, {600, 5}}};
    for (const auto& c : cases) {
        auto bug = restingBug();
        bug->SetPosition(c.from);
        bug->Step(frame);
        EXPECT_EQ(bug->Position, c.to) << c.from[0] << ", " << c.from[1];
    }

    // The arena comes from the frame context.
    TFrameContext small = frame;
    small.ArenaWidth = 50;
    small.ArenaHeight = 40;
    auto bug = restingBug();
    bug->SetPosition(Vector(51, 41));
    bug->Step(small);
    EXPECT_EQ(bug->Position, Vector(1, 1));
}

TEST_F(BugTest, FrameRateScalesTheMoveOnly) {
    auto bug = newBug();
    TFrameContext slow = frame;
    slow.FPS = 2;
    bug->Step(slow);
    EXPECT_NEAR(static_cast<double>(bug->Position[0]), 5.5, 1e-15);
    EXPECT_NEAR(static_cast<double>(bug->CurrentSpeed), 11, 1e-15);
}

TEST_F(BugTest, ZeroMassKeepsThePreviousAcceleration) {
    auto bug = newBug();
    bug->SetMass(0);
    bug->Acceleration = Vector(1, 2);
    bug->Step(frame);
    EXPECT_EQ(bug->Acceleration, Vector(1, 2));
    expectNear(bug->Velocity, 11, 2);

    // A new bug that never had a mass keeps a zero acceleration.
    auto fresh = newBug();
    fresh->SetMass(0);
    fresh->Step(frame);
    EXPECT_EQ(fresh->Acceleration, Vector(0, 0));
    EXPECT_EQ(fresh->Velocity, Vector(10, 0));
}

TEST_F(BugTest, UpdateBoundsTruncatesTowardsZero) {
    auto bug = newBug();
    bug->SetPosition(Vector(10.9L, 20.2L));
    bug->UpdateBounds();
    EXPECT_EQ(bug->Element.TopLeft, (TPoint{8, 17}));
    EXPECT_EQ(bug->Element.BottomRight, (TPoint{13, 22}));

    bug->SetPosition(Vector(1, 0.5L));
    bug->UpdateBounds();
    EXPECT_EQ(bug->Element.TopLeft, (TPoint{-1, -2}));
    EXPECT_EQ(bug->Element.BottomRight, (TPoint{3, 3}));

    bug->Shape.Size = Vector(20, 20);
    bug->SetPosition(Vector(100, 50));
    bug->UpdateBounds();
    EXPECT_EQ(bug->Element.TopLeft, (TPoint{90, 40}));
    EXPECT_EQ(bug->Element.BottomRight, (TPoint{110, 60}));

    // Positions beyond the pixel range (a damaged file) saturate instead of
    // overflowing; a position that is not a number draws at 0.
    bug->SetPosition(Vector(1e12L, -1e12L));
    bug->UpdateBounds();
    EXPECT_EQ(bug->Element.TopLeft, (TPoint{INT32_MAX, INT32_MIN}));
    EXPECT_EQ(bug->Element.BottomRight, (TPoint{INT32_MAX, INT32_MIN}));
    bug->SetPosition(Vector(NAN, 10));
    bug->UpdateBounds();
    EXPECT_EQ(bug->Element.TopLeft, (TPoint{0, 0}));
    EXPECT_EQ(bug->Element.BottomRight, (TPoint{0, 20}));
}

TEST_F(BugTest, StartValuesAreStoredAndRestored) {
    auto bug = newBug();
    bug->SetPosition(Vector(12, 34));
    bug->SetMaxSpeed(70);
    bug->SetMinSpeed(3);
    bug->SetCurrentSpeed(6);
    bug->SetOrientation(90);
    bug->SetMass(4);
    bug->SetMaxForce(25);
    bug->StoreStartValues();
    EXPECT_EQ(bug->StartPosition, Vector(12, 34));
    EXPECT_EQ(bug->StartMaxSpeed, 70);
    EXPECT_EQ(bug->StartMinSpeed, 3);
    EXPECT_EQ(bug->StartSpeed, 6);
    EXPECT_EQ(bug->StartOrientation, 90);
    EXPECT_EQ(bug->StartMass, 4);
    EXPECT_EQ(bug->StartMaxForce, 25);
    const TBehaviourListPtr ownList = bug->Behaviours;
    EXPECT_EQ(bug->StartBehaviours, ownList);

    TTrigger trigger("T");
    for (int i = 0; i < 17; ++i)
        bug->Step(frame);
    bug->SetMaxSpeed(1);
    bug->SetMinSpeed(0);
    bug->SetMass(100);
    bug->SetMaxForce(1);
    bug->Velocity = Vector(-3, -9);
    bug->Shape.Size = Vector(9, 9);
    bug->SetCombinationMethod(cmPriority);
    bug->SetBehaviours(trigger.Template.Behaviours);
    bug->Triggers = {&trigger};

    bug->RestoreStartValues();
    EXPECT_EQ(bug->Position, Vector(12, 34));
    EXPECT_EQ(bug->MaxSpeed, 70);
    EXPECT_EQ(bug->MinSpeed, 3);
    EXPECT_EQ(bug->Mass, 4);
    EXPECT_EQ(bug->MaxForce, 25);
    EXPECT_EQ(bug->CurrentSpeed, 6);
    EXPECT_EQ(bug->Orientation(), 90);
    expectNear(bug->Velocity, 0, 6);
    EXPECT_EQ(bug->Behaviours, ownList);
    // Diameter, combination method and triggers are not start values.
    EXPECT_EQ(bug->Shape.Size, Vector(9, 9));
    EXPECT_EQ(bug->CombinationMethod, cmPriority);
    EXPECT_EQ(bug->Triggers, (std::vector<TTrigger*>{&trigger}));

    // Rewinding a bug that has come to rest rebuilds the velocity from the
    // start speed and heading.
    bug->SetCurrentSpeed(0);
    bug->RestoreStartValues();
    expectNear(bug->Velocity, 0, 6);
}

TEST_F(BugTest, BugRecordRoundTrip) {
    TTrigger trigger("T");
    trigger.SetId(77);
    auto bug = newBug();
    bug->SetName("Member_3");
    bug->SetPosition(Vector(120.5L, 33.25L));
    bug->SetMass(12.5L);
    bug->SetMaxSpeed(55);
    bug->SetMinSpeed(2);
    bug->SetMaxForce(17);
    bug->Shape.Size = Vector(7, 7);
    bug->Shape.SetKind(3);
    bug->SetCombinationMethod(cmPriority);
    // Fast enough for the force cap to make the three force vectors differ.
    bug->SetCurrentSpeed(40);
    bug->Step(frame);
    ASSERT_NE(bug->SteeringForce, bug->LimitedForce);
    ASSERT_NE(bug->LimitedForce, bug->Acceleration);
    bug->Triggers = {&trigger};
    bug->Behaviours->push_back(std::make_unique<TSteeringBehaviour>(bkSeek));
    bug->StartPosition = Vector(1, 2);
    // Inconsistent on purpose: loading stores the values as they are.
    bug->Velocity = Vector(3, 4);
    bug->CurrentSpeed = 9;
    bug->AssignOrientation(33);
    bug->SetGroupMember(false);

    TMemoryStream stream;
    bug->SaveToStream(stream);
    stream.WriteByte(0xEE);

    // The record's values in their order.
    {
        stream.SetPosition(0);
        TBasisBug common;
        common.LoadFromStream(stream);
        TReader reader(stream);
        for (Extended value : {12.5L, 9.0L, 2.0L, 55.0L, 17.0L, 33.0L})
            EXPECT_EQ(reader.ReadFloat(), value);
        EXPECT_FALSE(reader.ReadBoolean());
        reader.Release();
        for (const Vector* v : {&bug->Velocity, &bug->Position, &bug->SteeringForce,
                                &bug->LimitedForce, &bug->Acceleration, &bug->StartPosition}) {
            Vector read;
            VecRead(read, stream);
            EXPECT_EQ(read, *v);
        }
        TShape shape;
        shape.LoadFromStream(stream);
        EXPECT_EQ(shape.Id, bug->Shape.Id);
        EXPECT_EQ(shape.Size, Vector(7, 7));
        EXPECT_EQ(stream.Size() - stream.Position(), 1);
    }

    group.SetColor(0x00AA55);
    auto loaded = newBug();
    const TBehaviourListPtr loadedList = loaded->Behaviours;
    stream.SetPosition(0);
    loaded->LoadFromStream(stream);
    std::uint8_t behind = 0;
    ASSERT_EQ(stream.ReadByte(behind), 1u);
    EXPECT_EQ(behind, 0xEE);

    EXPECT_EQ(loaded->Name, "Member_3");
    EXPECT_EQ(loaded->Id, bug->Id);
    EXPECT_EQ(loaded->Shape.Id, bug->Shape.Id);
    EXPECT_EQ(loaded->Shape.Size, Vector(7, 7));
    EXPECT_EQ(loaded->Shape.Kind, 3);
    EXPECT_EQ(loaded->CombinationMethod, cmPriority);
    EXPECT_TRUE(loaded->Triggers.empty());
    EXPECT_EQ(loaded->StoredTriggerIds, (std::vector<std::int32_t>{77}));
    ASSERT_EQ(loaded->Behaviours, loadedList);
    ASSERT_EQ(loaded->Behaviours->size(), 1u);
    EXPECT_EQ((*loaded->Behaviours)[0]->Kind, bkSeek);
    EXPECT_EQ(loaded->Mass, 12.5L);
    EXPECT_EQ(loaded->CurrentSpeed, 9);
    EXPECT_EQ(loaded->MinSpeed, 2);
    EXPECT_EQ(loaded->MaxSpeed, 55);
    EXPECT_EQ(loaded->MaxForce, 17);
    EXPECT_EQ(loaded->Orientation(), 33);
    EXPECT_FALSE(loaded->GroupMember);
    EXPECT_EQ(loaded->Velocity, Vector(3, 4));
    EXPECT_EQ(loaded->Position, bug->Position);
    EXPECT_EQ(loaded->SteeringForce, bug->SteeringForce);
    EXPECT_EQ(loaded->LimitedForce, bug->LimitedForce);
    EXPECT_EQ(loaded->Acceleration, bug->Acceleration);

    // The values read become the start values; the stored start position is
    // replaced by the position.
    EXPECT_EQ(loaded->StartPosition, bug->Position);
    EXPECT_EQ(loaded->StartSpeed, 9);
    EXPECT_EQ(loaded->StartOrientation, 33);
    EXPECT_EQ(loaded->StartMass, 12.5L);
    EXPECT_EQ(loaded->StartMaxSpeed, 55);
    EXPECT_EQ(loaded->StartMinSpeed, 2);
    EXPECT_EQ(loaded->StartMaxForce, 17);
    EXPECT_EQ(loaded->StartBehaviours, loaded->Behaviours);

    // The element is refreshed from the loaded shape, position and group.
    EXPECT_EQ(loaded->Element.Kind, 3);
    EXPECT_EQ(loaded->Element.Color, 0x00AA55u);
    EXPECT_EQ(loaded->Element.TopLeft, (TPoint{static_cast<int>(bug->Position[0] - 3.5L),
                                               static_cast<int>(bug->Position[1] - 3.5L)}));
}

TEST_F(BugTest, CommonRecordPartLayout) {
    auto bug = newBug();
    bug->SetName("B");
    bug->SetId(9);
    TTrigger first("1");
    TTrigger second("2");
    first.SetId(300);
    second.SetId(4);
    bug->Triggers = {&first, &second};
    bug->SetCombinationMethod(cmWeightFactors);

    TMemoryStream stream;
    static_cast<const TBasisBug&>(*bug).SaveToStream(stream);
    // Name and Id; trigger count and Ids with the behaviour count; the method.
    EXPECT_EQ(stream.Bytes(),
              (std::vector<std::uint8_t>{0x06, 0x01, 0x42, 0x02, 0x09, 0x02, 0x02, 0x03, 0x2C, 0x01,
                                         0x02, 0x04, 0x02, 0x00, 0x01}));
}

TEST_F(BugTest, TemplateRecordRoundTripAndOrder) {
    TDefaultBug t;
    t.SetName("Ant");
    t.CurrentSpeedVariantValue.SetBaseValue(1);
    t.DiameterVariantValue.SetBaseValue(2);
    t.MassVariantValue.SetBaseValue(3);
    t.MaxForceVariantValue.SetBaseValue(4);
    t.MaxSpeedVariantValue.SetBaseValue(5);
    t.MinSpeedVariantValue.SetBaseValue(6);
    t.OrientationVariantValue.SetBaseValue(7);
    t.MassVariantValue.SetDifference(40);
    t.MassVariantValue.SetSignMode(vtplusminus);
    t.OrientationVariantValue.SetApply(false);
    t.SetCombinationMethod(cmPriority);
    t.Behaviours->push_back(std::make_unique<TSteeringBehaviour>(bkFlee));

    TMemoryStream stream;
    t.SaveToStream(stream);

    // Behind the common part the seven values follow in their record order.
    stream.SetPosition(0);
    TBasisBug common;
    common.LoadFromStream(stream);
    for (Extended base : {1, 2, 3, 4, 5, 6, 7}) {
        TVariantExtended v;
        v.LoadFromStream(stream);
        EXPECT_EQ(v.BaseValue, base);
    }
    EXPECT_EQ(stream.Position(), stream.Size());

    stream.SetPosition(0);
    TDefaultBug loaded;
    loaded.LoadFromStream(stream);
    EXPECT_EQ(loaded.Name, "Ant");
    EXPECT_EQ(loaded.Id, t.Id);
    EXPECT_EQ(loaded.CombinationMethod, cmPriority);
    ASSERT_EQ(loaded.Behaviours->size(), 1u);
    EXPECT_EQ((*loaded.Behaviours)[0]->Kind, bkFlee);
    EXPECT_EQ(loaded.CurrentSpeedVariantValue, t.CurrentSpeedVariantValue);
    EXPECT_EQ(loaded.DiameterVariantValue, t.DiameterVariantValue);
    EXPECT_EQ(loaded.MassVariantValue, t.MassVariantValue);
    EXPECT_EQ(loaded.MaxForceVariantValue, t.MaxForceVariantValue);
    EXPECT_EQ(loaded.MaxSpeedVariantValue, t.MaxSpeedVariantValue);
    EXPECT_EQ(loaded.MinSpeedVariantValue, t.MinSpeedVariantValue);
    EXPECT_EQ(loaded.OrientationVariantValue, t.OrientationVariantValue);
    EXPECT_EQ(stream.Position(), stream.Size());
}

TEST_F(BugTest, StepAllocatesNothing) {
    auto bug = newBug();
    bug->SetMinSpeed(3);
    std::size_t allocations = 0;
    {
        test::AllocationScope scope;
        // The counter sees allocations at all ...
        ::operator delete(::operator new(16));
        EXPECT_EQ(scope.Count(), 1u);
    }
    {
        test::AllocationScope scope;
        for (int i = 0; i < 1000; ++i)
            bug->Step(frame);
        allocations = scope.Count();
    }
    // ... and none in a thousand frames.
    EXPECT_EQ(allocations, 0u);
    EXPECT_GT(bug->CurrentSpeed, 79);
}

} // namespace
} // namespace kova
