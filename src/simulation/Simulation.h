#pragma once

#include "foundations/NamedObject.h"
#include "simulation/ConcurrentSteps.h"
#include "simulation/SimulationHost.h"
#include "steering/ObstacleIndex.h"
#include "world/Bug.h"
#include "world/BugGroup.h"
#include "world/Graphics.h"
#include "world/Obstacle.h"
#include "world/Space.h"
#include "world/Trigger.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

namespace kova {

// The world: groups (and through them every bug), obstacles, triggers and the
// arena, the simulation clock and the frame loop, and every operation that
// creates, edits or removes objects. It tells the windows about changes
// through its host.
class TSimulation : public TNamedObject {
public:
    TSimulation();
    ~TSimulation() override;
    TSimulation(const TSimulation&) = delete;
    TSimulation& operator=(const TSimulation&) = delete;

    // The host receives every notification; nullptr detaches it.
    void SetHost(ISimulationHost* host);
    ISimulationHost& Host() const { return *host_; }

    // --- clock and stepping -------------------------------------------------

    // A blocking frame loop that returns once Pause has been called from
    // inside the host's event processing. Called from inside that loop it
    // returns at once.
    void Run();
    // Steps 1 and 2 of a run: no tool stays active, Running := true. A timer or
    // a batch loop then calls StepFrame until Running is false.
    void BeginRun();
    // One frame: step every bug, repaint, advance the clock, loop point, show
    // the time.
    void StepFrame();
    void Pause() { Running = false; }
    void Rewind();
    void ResetToStart();
    void CurrentToStart();
    bool IsAtStart() const { return CurrentFrame == 0 && CurrentSecond == 0; }
    // The context a bug's Step sees in the current frame.
    TFrameContext FrameContext() const;
    // Steps every member of the group, in effect in member order, keeping the
    // spatial indexes up to date as the members move. beforeStep(i, bug) sees
    // member i as it is before its step (on several threads, before any step).
    template <typename BeforeStep>
    void StepMembers(TBugGroup& group, TFrameContext frame, BeforeStep&& beforeStep);
    void StepMembers(TBugGroup& group, const TFrameContext& frame) {
        StepMembers(group, frame, [](std::size_t, TBug&) {});
    }
    // Advances the clock one frame (frames 0 .. FPS - 1 make a second).
    void AdvanceClock();

    // --- objects -----------------------------------------------------------

    int GroupCount() const { return static_cast<int>(Groups.size()); }
    int TriggerCount() const { return static_cast<int>(Triggers.size()); }

    // New objects are edited by the host and kept only on OK; the result is
    // the new object or nullptr.
    TBugGroup* NewGroup();
    bool EditGroup(TBugGroup& group);
    void RemoveGroup(TBugGroup& group);

    // One new member at the position: values drawn from the template, named
    // after the template, start values stored, copies of the template's
    // behaviours.
    TBug* CreateBug(TBugGroup& group, const Vector& position);
    bool EditBug(TBug& bug);
    void RemoveBug(TBug& bug);

    TTrigger* NewTrigger();
    bool EditTrigger(TTrigger& trigger);
    void RemoveTrigger(TTrigger& trigger);

    // kind 0 circle (corners of its bounding box), 1 line (end points).
    TObstacle* CreateObstacle(std::uint8_t kind, Extended x1, Extended y1, Extended x2,
                              Extended y2);
    void RemoveObstacle(TObstacle& obstacle);

    // Triggers, then groups, then obstacles, each from the last to the first.
    void RemoveAll();
    // Takes every reference to the object out of behaviours and trigger lists.
    void RemoveReferences(const TNamedObject& object);
    // Replaces the destination's behaviours by copies of the source's.
    static void CopyBehaviours(const TBehaviourList& source, TBehaviourList& destination);
    // Every member draws anew from the group's template.
    void ApplyTemplateToMembers(TBugGroup& group);

    // --- arena tools -------------------------------------------------------

    void BeginBugCreation();
    void EndBugCreation();
    void SelectObstacleLine(bool on);
    void SelectObstacleEllipse(bool on);
    // A click: one bug of the chosen group at the point (with the bug tool on).
    void PlaceBug(TBugGroup* chosenGroup, Extended x, Extended y);
    // A drag: the density brush over the rectangle, or a line or circle
    // obstacle, by the active tool.
    void ApplyDrag(TBugGroup* chosenGroup, int density, Extended x1, Extended y1, Extended x2,
                   Extended y2);
    // The cells, one bug diameter wide, that the density brush walks over the
    // rectangle; 0 without a positive diameter.
    static Extended BrushCellCount(Extended diameter, Extended x1, Extended y1, Extended x2,
                                   Extended y2);
    // Clear and draw the whole arena.
    void Repaint();

    // --- file ------------------------------------------------------------------

    // Rewinds, then writes the simulation record, the arena, the triggers, the
    // groups with their members and the obstacles.
    void SaveToStream(TStream& stream);
    // Writes the same record as SaveToStream without disturbing a run: the
    // bugs and the clock are put back exactly as they were, and nothing is
    // drawn.
    void SaveSnapshotToStream(TStream& stream);
    // Reads all of that into this empty simulation, resolves the references
    // between objects and rewinds. A failure leaves the simulation partly read:
    // read into a scratch simulation and take its contents over on success.
    void LoadFromStream(TStream& stream);
    // Replaces this simulation's settings and objects by those of another (a
    // freshly loaded one), announcing the objects to the host. This simulation
    // must hold no objects.
    void TakeContentsFrom(TSimulation& loaded);

    // --- setters -----------------------------------------------------------

    void SetFPS(std::uint8_t fps) { FPS = fps; }
    void SetPixelsPerMeter(std::uint8_t ppm) { PixelsPerMeter = ppm; }
    void SetDelay(std::uint16_t delay) { Delay = delay; }
    void SetLoop(bool loop) { Loop = loop; }
    void SetLoopSecond(std::uint32_t second) { LoopSecond = second; }
    void SetLoopFrame(std::uint32_t frame) { LoopFrame = frame; }
    void SetCurrentSecond(std::uint32_t second) { CurrentSecond = second; }
    void SetCurrentFrame(std::uint32_t frame) { CurrentFrame = frame; }
    void SetTimerTick(bool tick) { TimerTick = tick; }

    bool Running = false;
    std::uint32_t CurrentFrame = 0;
    std::vector<std::unique_ptr<TObstacle>> Obstacles;
    std::vector<std::unique_ptr<TBugGroup>> Groups;
    TSpace Space;
    std::uint8_t FPS = 25;
    std::uint8_t PixelsPerMeter = 1;
    bool BugCreationMode = false;
    bool TimerTick = false;
    std::uint32_t CurrentSecond = 0;
    std::uint16_t Delay = 40;
    std::uint32_t LoopSecond = 10;
    std::uint32_t LoopFrame = 0;
    bool Loop = false;
    std::vector<std::unique_ptr<TTrigger>> Triggers;
    bool EllipseMode = false;
    bool LineMode = false;

    // The drawing document of the arena view; every bug and obstacle keeps its
    // graphic element in it.
    TGraphicDoc Doc;
    // Neighbour and obstacle searches go through spatial indexes. Off, every
    // search walks its whole list: the reference the indexes must match.
    bool UseSpatialIndex = true;
    // Large groups are stepped on this many threads (with the spatial
    // indexes), with the same results as on one.
    void SetThreads(unsigned threads) { stepper_.SetThreads(threads); }
    unsigned Threads() const { return stepper_.Threads(); }
    TConcurrentStepper& Stepper() { return stepper_; }

private:
    // The record that follows the magic, as the simulation is now.
    void writeRecord(TStream& stream);
    void forEachBehaviourList(const std::function<void(TBehaviourList&)>& visit);
    // Clears every behaviour's target that is one of these bugs.
    void clearTargets(const std::unordered_set<const TBug*>& bugs);
    void paintBugs(TBugGroup& group, int density, Extended x1, Extended y1, Extended x2,
                   Extended y2);

    TObstacleIndex obstacleIndex_;
    TConcurrentStepper stepper_;
    ISimulationHost defaultHost_;
    ISimulationHost* host_ = &defaultHost_;
    // A blocking Run is in its loop.
    bool looping_ = false;
};

template <typename BeforeStep>
void TSimulation::StepMembers(TBugGroup& group, TFrameContext frame, BeforeStep&& beforeStep) {
    // Obstacles and members may have changed since the last loop.
    TNeighbourGrid& grid = group.Neighbours;
    grid.MembersMayHaveChanged();
    obstacleIndex_.ObstaclesMayHaveChanged();
    const auto& members = group.Members;
    if (UseSpatialIndex) {
        frame.Neighbours = &grid;
        frame.Obstacles = &obstacleIndex_;
        if (stepper_.Prepare(group, frame)) {
            // Each member is seen before its own step, which is the only one
            // that changes it.
            for (std::size_t i = 0; i < members.size(); ++i)
                beforeStep(i, *members[i]);
            stepper_.StepPrepared();
            return;
        }
    }
    for (std::size_t i = 0; i < members.size(); ++i) {
        PrefetchStepData(members, i + 1);
        if (i + 1 < members.size())
            grid.PrefetchSearch(members[i + 1]->Position);
        TBug& bug = *members[i];
        beforeStep(i, bug);
        frame.MemberIndex = static_cast<std::uint32_t>(i);
        bug.Step(frame);
        if (grid.Built())
            grid.Update(static_cast<std::uint32_t>(i), bug);
    }
}

} // namespace kova
