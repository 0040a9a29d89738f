#pragma once

#include "foundations/Matrix.h"
#include "foundations/NamedObject.h"
#include "foundations/Prefetch.h"
#include "foundations/StoredIds.h"
#include "foundations/VariantExtended.h"
#include "world/Graphics.h"
#include "world/Shape.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kova {

class TBugGroup;
class TNeighbourGrid;
class TObstacleIndex;
class TSteeringBehaviour;
class TTrigger;

using TBehaviourList = std::vector<std::unique_ptr<TSteeringBehaviour>>;
// A behaviour list is shared: a trigger lends its template's list to the bugs
// it fires on, and the list lives as long as any of them still steers with it.
using TBehaviourListPtr = std::shared_ptr<TBehaviourList>;

// What a bug's per-frame update needs from the simulation: the arena, the frame
// rate and the clock as it stands before the frame advances it.
struct TFrameContext {
    Extended ArenaWidth = 400;
    Extended ArenaHeight = 300;
    std::uint8_t FPS = 25;
    std::uint32_t CurrentSecond = 0;
    std::uint32_t CurrentFrame = 0;
    // Spatial indexes that speed up the searches of the group behaviours and
    // of obstacle avoidance without changing their results. The member loop
    // that steps the bug's group provides them; without them every search
    // walks the whole member or obstacle list.
    TNeighbourGrid* Neighbours = nullptr;
    // With Neighbours: the stepping bug's place in its group's member list.
    std::uint32_t MemberIndex = 0;
    TObstacleIndex* Obstacles = nullptr;
};

// What bugs and bug templates have in common: steering behaviours, the
// triggers that act on them and the method that combines the behaviours.
class TBasisBug : public TNamedObject {
public:
    TBasisBug();
    ~TBasisBug() override;

    void SetCombinationMethod(std::uint8_t method) { CombinationMethod = method; }
    void SetBehaviours(TBehaviourListPtr behaviours) { Behaviours = std::move(behaviours); }
    // Ascending Priority; equal priorities keep their order.
    void SortBehavioursByPriority();

    // The common record part: name and Id, trigger Ids, the behaviour count,
    // the combination method as a raw byte, then the behaviour records.
    void SaveToStream(TStream& stream) const;
    // Trigger Ids go to StoredTriggerIds until the loader resolves them; the
    // behaviours read are appended to the current list.
    void LoadFromStream(TStream& stream);

    // The method first: it fills the room after the Id, and every bug is
    // laid out after these fields.
    std::uint8_t CombinationMethod = 0;
    TBehaviourListPtr Behaviours;
    std::vector<TTrigger*> Triggers;
    // Trigger Ids read from a file and not yet resolved into Triggers.
    TStoredIds StoredTriggerIds;
};

// A bug template: every bug property as a randomised value. Its name is the
// name given to the members of its group.
class TDefaultBug : public TBasisBug {
public:
    TDefaultBug();

    void SetDiameterVariantValue(const TVariantExtended& v) { DiameterVariantValue = v; }
    void SetMaxForceVariantValue(const TVariantExtended& v) { MaxForceVariantValue = v; }
    void SetMinSpeedVariantValue(const TVariantExtended& v) { MinSpeedVariantValue = v; }
    void SetOrientationVariantValue(const TVariantExtended& v) { OrientationVariantValue = v; }
    void SetCurrentSpeedVariantValue(const TVariantExtended& v) { CurrentSpeedVariantValue = v; }
    void SetMaxSpeedVariantValue(const TVariantExtended& v) { MaxSpeedVariantValue = v; }
    void SetMassVariantValue(const TVariantExtended& v) { MassVariantValue = v; }

    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream);

    TVariantExtended DiameterVariantValue;
    TVariantExtended MaxForceVariantValue;
    TVariantExtended MinSpeedVariantValue;
    TVariantExtended OrientationVariantValue;
    TVariantExtended CurrentSpeedVariantValue;
    TVariantExtended MaxSpeedVariantValue;
    TVariantExtended MassVariantValue;
};

// A live bug: a disc that moves over the arena, steered once per frame.
class TBug : public TBasisBug {
public:
    // Construction for a group: Id, shape, velocity, graphic element (entered
    // in the group's drawing document), then the values drawn from the group's
    // template and its trigger list.
    explicit TBug(TBugGroup& group);
    ~TBug() override;

    void SetMass(Extended mass) { Mass = mass; }
    void SetMaxForce(Extended force) { MaxForce = force; }
    void SetMaxSpeed(Extended speed) { MaxSpeed = speed; }
    void SetMinSpeed(Extended speed) { MinSpeed = speed; }
    // Rescales a non-zero velocity to the new length; a zero velocity stays zero.
    void SetCurrentSpeed(Extended speed);
    // The heading in degrees (0 along +x, 90 along +y). Once a step has left
    // the bug moving, it is the direction of Velocity, worked out when asked
    // for; a bug at rest keeps the heading it had.
    Extended Orientation() const;
    // Points the velocity at the heading (degrees) with length CurrentSpeed.
    void SetOrientation(Extended degrees);
    // Takes the heading as given, leaving the velocity as it is (a stored bug
    // keeps both).
    void AssignOrientation(Extended degrees);
    void SetPosition(const Vector& position) { Position = position; }
    void SetGroup(TBugGroup* group) { Group = group; }
    void SetStartBehaviours(TBehaviourListPtr behaviours) {
        StartBehaviours = std::move(behaviours);
    }
    void SetGroupMember(bool member) { GroupMember = member; }

    // Draws the seven values from the template in a fixed order (the order
    // decides which random number each value gets).
    void ApplyTemplate(const TDefaultBug& tmpl);
    // The per-frame update: triggers, steering, force and speed limits, move,
    // wrap into the arena, heading and bounds.
    void Step(const TFrameContext& frame);
    void StoreStartValues();
    void RestoreStartValues();
    // Everything RestoreStartValues changes, as it is now, to be put back
    // bit for bit.
    struct TRunState {
        Vector Position;
        Vector Velocity;
        Extended CurrentSpeed;
        Extended MinSpeed;
        Extended MaxSpeed;
        Extended MaxForce;
        Extended Mass;
        Extended Orientation;
        bool OrientationFollowsVelocity;
        TBehaviourListPtr Behaviours;
    };
    TRunState RunState() const;
    void RestoreRunState(const TRunState& state);
    void RefreshElement();
    void UpdateBounds();

    // The list made at construction, which the bug owns. Behaviours is this
    // list unless a trigger has lent its own.
    const TBehaviourListPtr& OwnBehaviours() const { return ownBehaviours_; }
    // Makes the bug's own list current (and the start list) again, for code that
    // replaces its behaviours while it may steer with a trigger's list.
    void UseOwnBehaviours();

    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream);

    TShape Shape;
    Extended Mass = 0;
    Extended MaxForce = 0;
    bool GroupMember = false;

private:
    // Whether Orientation() follows Velocity, which only a step turns on, or
    // is orientation_. The flag sits behind GroupMember, in room that would
    // otherwise be padding.
    bool orientationFollowsVelocity_ = false;
    Extended orientation_ = 0;

public:
    // Written directly after a step, it turns Orientation() with it; the
    // setters keep the heading they are given.
    Vector Velocity;
    // Next to the velocity: loops over a large group read the two together
    // from members all over memory, and they then share one or two cache
    // lines.
    Vector Position;
    Extended CurrentSpeed = 0;
    Extended MaxSpeed = 0;
    Extended MinSpeed = 0;
    TBugGroup* Group = nullptr;
    TGraphicElement Element;
    Vector SteeringForce;
    Vector LimitedForce;
    Vector Acceleration;
    Extended StartOrientation = 0;
    Extended StartSpeed = 0;
    Extended StartMaxSpeed = 0;
    Extended StartMaxForce = 0;
    Extended StartMinSpeed = 0;
    Extended StartMass = 0;
    Vector StartPosition;
    TBehaviourListPtr StartBehaviours;

private:
    void fireDueTriggers(const TFrameContext& frame);
    void wrapIntoArena(const TFrameContext& frame);
    // `speed` is the length of the new velocity.
    void updateMotionState(const Vector& previousVelocity, Extended speed);

    TBehaviourListPtr ownBehaviours_;
};

// A bug's step reads through a chain of pointers (the bug, its behaviour list,
// the list's array, each behaviour), and in a large group every link is a
// likely cache miss. A member loop calls this before working on its `next`-th
// bug: it asks the processor for one link of the chain of each of a few later
// bugs, each link found through the one requested `spacing` bugs earlier, so
// that every bug's data is in the cache when the loop reaches it. A loop that
// spends less time per bug than memory takes to answer needs a wider spacing.
// It changes nothing. `bugs` are the loop's bugs, in its order.
void PrefetchStepData(std::span<const TBug* const> bugs, std::size_t next, std::size_t spacing = 1);
// The same for a member loop over a group's member list.
void PrefetchStepData(const std::vector<std::unique_ptr<TBug>>& members, std::size_t next,
                      std::size_t spacing = 1);

} // namespace kova
