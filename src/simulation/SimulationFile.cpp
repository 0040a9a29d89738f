#include "simulation/SimulationFile.h"

#include "foundations/OutputFile.h"
#include "foundations/Streams.h"
#include "simulation/Simulation.h"
#include "steering/SteeringBehaviour.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace kova {

namespace {

// The Id table of one load: triggers, member bugs and obstacles by their
// stored Id, the first object entered under an Id winning.
class TIdTable {
public:
    void Enter(TNamedObject& object) {
        objects_.emplace(object.Id, &object);
        highestId_ = std::max(highestId_, object.Id);
    }

    template <typename T> T* Find(std::int32_t id, const char* what) const {
        const auto it = objects_.find(id);
        T* object = it != objects_.end() ? dynamic_cast<T*>(it->second) : nullptr;
        if (object == nullptr)
            throw EStreamError(std::string(kKvzFileError) + " Id " + std::to_string(id) +
                               " does not name " + what + ".");
        return object;
    }

    std::int32_t HighestId() const { return highestId_; }
    void NoteId(std::int32_t id) { highestId_ = std::max(highestId_, id); }

private:
    std::unordered_map<std::int32_t, TNamedObject*> objects_;
    std::int32_t highestId_ = 0;
};

void resolveTriggerList(TBasisBug& owner, const TIdTable& table) {
    owner.Triggers.clear();
    for (const std::int32_t id : owner.StoredTriggerIds)
        owner.Triggers.push_back(table.Find<TTrigger>(id, "a trigger"));
    owner.StoredTriggerIds = {};
}

// Lists of obstacle Ids already resolved. Every member of a group carries a
// copy of the group's lists: equal lists are resolved once and share their
// array, as the copies did before the file was saved.
using TResolvedObstacleLists = std::map<std::vector<std::int32_t>, TObstacleList>;

TObstacleList resolveObstacleList(const std::vector<std::int32_t>& ids, const TIdTable& table,
                                  TResolvedObstacleLists& resolved) {
    if (const auto known = resolved.find(ids); known != resolved.end())
        return known->second;
    std::vector<TObstacle*> obstacles;
    obstacles.reserve(ids.size());
    for (const std::int32_t id : ids)
        obstacles.push_back(table.Find<TObstacle>(id, "an obstacle"));
    return resolved.emplace(ids, TObstacleList(std::move(obstacles))).first->second;
}

void resolveBehaviours(TBehaviourList& behaviours, const TIdTable& table,
                       TResolvedObstacleLists& obstacleLists) {
    for (const auto& behaviour : behaviours) {
        behaviour->TargetBug = nullptr;
        // Only a behaviour that follows a bug gets its target back. The Id of a
        // bug it no longer follows stays stored, so that saving writes the
        // record as it was read. A flag without an Id aims at the target point.
        if (behaviour->TargetIsBug && behaviour->StoredTargetId > 0) {
            behaviour->TargetBug = table.Find<TBug>(behaviour->StoredTargetId, "a bug");
            behaviour->StoredTargetId = 0;
        } else {
            behaviour->TargetIsBug = false;
        }
        behaviour->Obstacles =
            resolveObstacleList(behaviour->StoredObstacleIds.Ids(), table, obstacleLists);
        behaviour->StoredObstacleIds = {};
    }
}

void noteBehaviourIds(const TBehaviourList& behaviours, TIdTable& table) {
    for (const auto& behaviour : behaviours)
        table.NoteId(behaviour->Id);
}

void resolveReferences(TSimulation& simulation, TIdTable& table) {
    TResolvedObstacleLists obstacleLists;
    for (const auto& trigger : simulation.Triggers) {
        resolveBehaviours(*trigger->Template.Behaviours, table, obstacleLists);
        resolveTriggerList(trigger->Template, table);
    }
    for (const auto& group : simulation.Groups) {
        resolveBehaviours(*group->Template.Behaviours, table, obstacleLists);
        resolveTriggerList(group->Template, table);
        for (const auto& member : group->Members) {
            resolveBehaviours(*member->Behaviours, table, obstacleLists);
            resolveTriggerList(*member, table);
        }
    }
}

// Every Id read, so that the counter can be moved above all of them.
void noteAllIds(const TSimulation& simulation, TIdTable& table) {
    table.NoteId(simulation.Id);
    for (const auto& trigger : simulation.Triggers) {
        table.NoteId(trigger->Template.Id);
        noteBehaviourIds(*trigger->Template.Behaviours, table);
    }
    for (const auto& group : simulation.Groups) {
        table.NoteId(group->Id);
        table.NoteId(group->Template.Id);
        noteBehaviourIds(*group->Template.Behaviours, table);
        for (const auto& member : group->Members) {
            table.NoteId(member->Shape.Id);
            noteBehaviourIds(*member->Behaviours, table);
        }
    }
    for (const auto& obstacle : simulation.Obstacles)
        table.NoteId(obstacle->Shape.Id);
}

std::string readMagic(TStream& stream) {
    TReader reader(stream);
    std::string magic = reader.ReadString();
    reader.Release();
    return magic.substr(0, 8);
}

} // namespace

// --- the simulation's own record -------------------------------------------------

void TSimulation::SaveToStream(TStream& stream) {
    Rewind();
    writeRecord(stream);
}

void TSimulation::SaveSnapshotToStream(TStream& stream) {
    std::vector<TBug::TRunState> running;
    std::size_t members = 0;
    for (const auto& group : Groups)
        members += group->Members.size();
    running.reserve(members);
    for (const auto& group : Groups)
        for (const auto& member : group->Members)
            running.push_back(member->RunState());
    const std::uint32_t second = CurrentSecond;
    const std::uint32_t frame = CurrentFrame;
    ResetToStart();
    writeRecord(stream);
    CurrentSecond = second;
    CurrentFrame = frame;
    auto state = running.begin();
    for (const auto& group : Groups)
        for (const auto& member : group->Members)
            member->RestoreRunState(*state++);
}

void TSimulation::writeRecord(TStream& stream) {
    TNamedObject::SaveToStream(stream);
    TWriter writer(stream);
    writer.WriteInteger(FPS);
    writer.WriteInteger(PixelsPerMeter);
    writer.WriteInteger(Delay);
    writer.WriteInteger(static_cast<std::int32_t>(LoopSecond));
    writer.WriteInteger(static_cast<std::int32_t>(LoopFrame));
    writer.WriteInteger(static_cast<std::int32_t>(CurrentSecond));
    writer.WriteInteger(static_cast<std::int32_t>(CurrentFrame));
    writer.WriteBoolean(Loop);
    writer.WriteBoolean(TimerTick);
    writer.WriteInteger(static_cast<std::int32_t>(Triggers.size()));
    writer.WriteInteger(static_cast<std::int32_t>(Groups.size()));
    writer.WriteInteger(static_cast<std::int32_t>(Obstacles.size()));
    writer.Release();
    Space.SaveToStream(stream);
    for (const auto& trigger : Triggers)
        trigger->SaveToStream(stream);
    for (const auto& group : Groups)
        group->SaveToStream(stream);
    for (const auto& obstacle : Obstacles)
        obstacle->SaveToStream(stream);
}

void TSimulation::LoadFromStream(TStream& stream) {
    TNamedObject::LoadFromStream(stream);
    TIdTable table;

    TReader reader(stream);
    FPS = static_cast<std::uint8_t>(reader.ReadInteger());
    PixelsPerMeter = static_cast<std::uint8_t>(reader.ReadInteger());
    Delay = static_cast<std::uint16_t>(reader.ReadInteger());
    LoopSecond = static_cast<std::uint32_t>(reader.ReadInteger());
    LoopFrame = static_cast<std::uint32_t>(reader.ReadInteger());
    CurrentSecond = static_cast<std::uint32_t>(reader.ReadInteger());
    CurrentFrame = static_cast<std::uint32_t>(reader.ReadInteger());
    Loop = reader.ReadBoolean();
    TimerTick = reader.ReadBoolean();
    const std::int32_t triggerCount = reader.ReadInteger();
    const std::int32_t groupCount = reader.ReadInteger();
    const std::int32_t obstacleCount = reader.ReadInteger();
    reader.Release();
    // A frame rate of 0 would stop the clock from ever reaching a new second
    // and make every frame time infinite; the slowest real rate is 1.
    if (FPS == 0)
        FPS = 1;

    Space.LoadFromStream(stream);

    for (std::int32_t i = 0; i < triggerCount; ++i) {
        auto trigger = std::make_unique<TTrigger>(" ");
        trigger->LoadFromStream(stream);
        table.Enter(*Triggers.emplace_back(std::move(trigger)));
    }
    for (std::int32_t i = 0; i < groupCount; ++i) {
        TBugGroup& group = *Groups.emplace_back(std::make_unique<TBugGroup>(&Doc));
        const std::int32_t memberCount = group.LoadHeaderFromStream(stream);
        for (std::int32_t m = 0; m < memberCount; ++m) {
            TBug& bug = *group.Members.emplace_back(std::make_unique<TBug>(group));
            bug.LoadFromStream(stream);
            bug.RefreshElement();
            table.Enter(bug);
            SetIdCounter(bug.Id);
        }
    }
    for (std::int32_t i = 0; i < obstacleCount; ++i) {
        TObstacle& obstacle = *Obstacles.emplace_back(std::make_unique<TObstacle>(&Doc));
        obstacle.LoadFromStream(stream);
        obstacle.UpdateElement();
        table.Enter(obstacle);
    }

    resolveReferences(*this, table);
    noteAllIds(*this, table);
    // New objects must never repeat an Id of the file: the file refers by Id.
    SetIdCounter(std::max(IdCounter(), table.HighestId()));
    Rewind();
}

void TSimulation::TakeContentsFrom(TSimulation& loaded) {
    SetName(loaded.Name);
    SetId(loaded.Id);
    FPS = loaded.FPS;
    PixelsPerMeter = loaded.PixelsPerMeter;
    Delay = loaded.Delay;
    LoopSecond = loaded.LoopSecond;
    LoopFrame = loaded.LoopFrame;
    CurrentSecond = loaded.CurrentSecond;
    CurrentFrame = loaded.CurrentFrame;
    Loop = loaded.Loop;
    TimerTick = loaded.TimerTick;
    Space.SetName(loaded.Space.Name);
    Space.SetId(loaded.Space.Id);
    Space.Width = loaded.Space.Width;
    Space.Height = loaded.Space.Height;
    Space.Color = loaded.Space.Color;

    Triggers = std::move(loaded.Triggers);
    Groups = std::move(loaded.Groups);
    Obstacles = std::move(loaded.Obstacles);
    Doc.TakeElementsFrom(loaded.Doc);

    for (const auto& trigger : Triggers)
        Host().BrowserAddTrigger(*trigger);
    for (const auto& group : Groups) {
        group->SetDoc(&Doc);
        Host().BrowserAddGroup(*group);
        Host().ToolsAddGroup(*group);
        for (const auto& member : group->Members)
            Host().BrowserAddBug(*member, *group);
    }
    for (const auto& obstacle : Obstacles)
        Host().BrowserAddObstacle(*obstacle);
}

// --- whole files -------------------------------------------------------------------

void WriteSimulationFile(TSimulation& simulation, TStream& stream) {
    TWriter writer(stream);
    writer.WriteString(kKvzMagic);
    writer.Release();
    simulation.SaveToStream(stream);
}

void WriteSimulationSnapshot(TSimulation& simulation, TStream& stream) {
    TWriter writer(stream);
    writer.WriteString(kKvzMagic);
    writer.Release();
    simulation.SaveSnapshotToStream(stream);
}

void ReadSimulationFile(TSimulation& simulation, TStream& stream) {
    if (readMagic(stream) != kKvzMagic)
        throw EStreamError(kKvzFileError);
    // Loading moves the Id counter (each member read sets it); whatever
    // happens, it must end above every Id still in use.
    const std::int32_t counterBefore = IdCounter();
    TSimulation loaded;
    try {
        loaded.LoadFromStream(stream);
    } catch (...) {
        SetIdCounter(std::max(counterBefore, IdCounter()));
        throw;
    }
    SetIdCounter(std::max(counterBefore, IdCounter()));
    simulation.Pause();
    simulation.RemoveAll();
    simulation.TakeContentsFrom(loaded);
    simulation.Rewind();
}

void OpenSimulationFile(TSimulation& simulation, const std::string& path) {
    TFileStream stream(path, TFileStream::Mode::Read);
    ReadSimulationFile(simulation, stream);
}

void SaveSimulationFile(TSimulation& simulation, const std::string& path) {
    TOutputFile output(path);
    TOutputStream stream(output.Stream());
    WriteSimulationFile(simulation, stream);
    if (!output.Stream().flush())
        throw EStreamError(kStreamWriteMessage);
    output.Commit();
}

} // namespace kova
