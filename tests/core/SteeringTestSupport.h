#pragma once

#include "foundations/Matrix.h"
#include "steering/SteeringBehaviour.h"
#include "world/Bug.h"
#include "world/BugGroup.h"
#include "world/Obstacle.h"

#include <gtest/gtest.h>

#include <memory>

namespace kova::test {

// A group without drawing document whose members are placed by hand.
struct SteeringScene {
    TBugGroup Group{nullptr};

    TBug& AddBug(const Vector& position, const Vector& velocity = {}, Extended maxSpeed = 0) {
        Group.Members.push_back(std::make_unique<TBug>(Group));
        TBug& bug = *Group.Members.back();
        bug.Position = position;
        bug.Velocity = velocity;
        bug.MaxSpeed = maxSpeed;
        return bug;
    }
};

inline TSteeringBehaviour& AddBehaviour(TBug& bug, std::uint8_t kind) {
    bug.Behaviours->push_back(std::make_unique<TSteeringBehaviour>(kind));
    return *bug.Behaviours->back();
}

inline void ExpectVectorNear(const Vector& actual, Extended x, Extended y,
                             Extended tolerance = 1e-12L) {
    EXPECT_NEAR(static_cast<double>(actual[0]), static_cast<double>(x),
                static_cast<double>(tolerance));
    EXPECT_NEAR(static_cast<double>(actual[1]), static_cast<double>(y),
                static_cast<double>(tolerance));
}

inline void ExpectVectorEq(const Vector& actual, Extended x, Extended y) {
    EXPECT_EQ(actual[0], x);
    EXPECT_EQ(actual[1], y);
}

} // namespace kova::test
