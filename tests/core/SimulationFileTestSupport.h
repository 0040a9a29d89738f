#pragma once

#include "SimulationTestSupport.h"

#include "foundations/Streams.h"
#include "simulation/SimulationFile.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace kova::test {

using Bytes = std::vector<std::uint8_t>;

// Every example simulation shipped with the program.
inline std::vector<std::filesystem::path> ExampleFiles() {
    const std::filesystem::path folder =
        std::filesystem::path(KOVA_TEST_DATA_DIR).parent_path().parent_path() / "simulations";
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(folder))
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".kvz")
                files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

inline Bytes SaveBytes(TSimulation& simulation) {
    TMemoryStream stream;
    WriteSimulationFile(simulation, stream);
    return stream.Bytes();
}

inline void LoadBytes(TSimulation& simulation, const Bytes& bytes) {
    TMemoryStream stream(bytes);
    ReadSimulationFile(simulation, stream);
}

// The message of the EStreamError the load raises, or "loaded" when it
// succeeds. Any other exception escapes and fails the test.
inline std::string LoadError(TSimulation& simulation, const Bytes& bytes) {
    try {
        LoadBytes(simulation, bytes);
    } catch (const EStreamError& error) {
        return error.what();
    }
    return "loaded";
}

// Bytes written by one writer, e.g. Encoded([](TWriter& w) { w.WriteInteger(300); }).
template <typename Write> Bytes Encoded(Write write) {
    TMemoryStream stream;
    TWriter writer(stream);
    write(writer);
    writer.Release();
    return stream.Bytes();
}

inline Bytes NameRecord(const std::string& name, std::int32_t id) {
    return Encoded([&](TWriter& w) {
        w.WriteString(name);
        w.WriteInteger(id);
    });
}

inline Bytes FromHex(const std::string& hex) {
    std::istringstream in(hex);
    Bytes bytes;
    unsigned value = 0;
    while (in >> std::hex >> value)
        bytes.push_back(static_cast<std::uint8_t>(value));
    return bytes;
}

// The byte range of the n-th Integer of the simulation record in a whole file:
// 0 FPS, 1 PixelsPerMeter, 2 Delay, 3 LoopSecond, 4 LoopFrame, 5 CurrentSecond,
// 6 CurrentFrame, then (behind the two Booleans) 7 triggers, 8 groups,
// 9 obstacles.
inline std::pair<std::size_t, std::size_t> SettingRange(const Bytes& file, int n) {
    TMemoryStream stream(file);
    TReader magic(stream);
    magic.ReadString();
    magic.Release();
    TReader name(stream);
    name.ReadString();
    name.ReadInteger();
    name.Release();
    TReader settings(stream);
    for (int i = 0; i < n; ++i) {
        settings.ReadInteger();
        if (i == 6) {
            settings.ReadBoolean();
            settings.ReadBoolean();
        }
    }
    settings.Release();
    const auto begin = static_cast<std::size_t>(stream.Position());
    TReader value(stream);
    value.ReadInteger();
    value.Release();
    return {begin, static_cast<std::size_t>(stream.Position())};
}

inline std::int32_t ReadSetting(const Bytes& file, int n) {
    const auto [begin, end] = SettingRange(file, n);
    TMemoryStream stream(Bytes(file.begin() + static_cast<std::ptrdiff_t>(begin),
                               file.begin() + static_cast<std::ptrdiff_t>(end)));
    TReader reader(stream);
    return reader.ReadInteger();
}

inline Bytes WithSetting(Bytes file, int n, const Bytes& encoding) {
    const auto [begin, end] = SettingRange(file, n);
    file.erase(file.begin() + static_cast<std::ptrdiff_t>(begin),
               file.begin() + static_cast<std::ptrdiff_t>(end));
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(begin), encoding.begin(),
                encoding.end());
    return file;
}

inline Bytes IntegerBytes(std::int32_t value) {
    return Encoded([&](TWriter& w) { w.WriteInteger(value); });
}

// Finds `anchor`, then the first `from` behind it, and puts `to` in its place.
inline Bytes Patched(Bytes file, const Bytes& anchor, const Bytes& from, const Bytes& to) {
    auto at = std::search(file.begin(), file.end(), anchor.begin(), anchor.end());
    EXPECT_NE(at, file.end()) << "anchor not found";
    if (at == file.end())
        return file;
    at = std::search(at + static_cast<std::ptrdiff_t>(anchor.size()), file.end(), from.begin(),
                     from.end());
    EXPECT_NE(at, file.end()) << "value not found behind the anchor";
    if (at == file.end())
        return file;
    const auto offset = at - file.begin();
    file.erase(at, at + static_cast<std::ptrdiff_t>(from.size()));
    file.insert(file.begin() + offset, to.begin(), to.end());
    return file;
}

inline std::vector<TBug*> MembersOf(const TSimulation& sim) {
    std::vector<TBug*> bugs;
    for (const auto& group : sim.Groups)
        for (const auto& member : group->Members)
            bugs.push_back(member.get());
    return bugs;
}

// Every Id a simulation holds, except the arena's.
inline std::vector<std::int32_t> IdsOf(const TSimulation& sim) {
    std::vector<std::int32_t> ids{sim.Id};
    const auto behaviours = [&](const TBasisBug& owner) {
        ids.push_back(owner.Id);
        for (const auto& behaviour : *owner.Behaviours)
            ids.push_back(behaviour->Id);
    };
    for (const auto& trigger : sim.Triggers) {
        ids.push_back(trigger->Id);
        behaviours(trigger->Template);
    }
    for (const auto& group : sim.Groups) {
        ids.push_back(group->Id);
        behaviours(group->Template);
        for (const auto& member : group->Members) {
            behaviours(*member);
            ids.push_back(member->Shape.Id);
        }
    }
    for (const auto& obstacle : sim.Obstacles) {
        ids.push_back(obstacle->Id);
        ids.push_back(obstacle->Shape.Id);
    }
    return ids;
}

inline Bytes StringValue(const std::string& s) {
    return Encoded([&](TWriter& w) { w.WriteString(s); });
}

// Everything that a failed load must leave as it was: the file the simulation
// saves to (settings, objects and every Id), its object counts and the
// drawing document's elements.
struct TSimulationState {
    Bytes File;
    std::size_t Triggers = 0;
    std::size_t Groups = 0;
    std::size_t Members = 0;
    std::size_t Obstacles = 0;
    std::size_t Elements = 0;

    bool operator==(const TSimulationState&) const = default;
};

inline TSimulationState StateOf(TSimulation& simulation) {
    TSimulationState state;
    state.File = SaveBytes(simulation);
    state.Triggers = simulation.Triggers.size();
    state.Groups = simulation.Groups.size();
    for (const auto& group : simulation.Groups)
        state.Members += group->Members.size();
    state.Obstacles = simulation.Obstacles.size();
    state.Elements = simulation.Doc.Count();
    return state;
}

// The objects of the rich simulation that the tests look at again.
struct TRichParts {
    TTrigger* Steer = nullptr; // ChangeBehaviours, behaviours with targets and obstacles
    TTrigger* Turn = nullptr;  // shared by members of two groups and by Steer's template
    TBugGroup* Ants = nullptr; // long name; template with behaviours and a trigger
    TBugGroup* Beetles = nullptr;
    TBugGroup* Empty = nullptr; // no members
    TObstacle* Circle = nullptr;
    TObstacle* Line = nullptr;
};

// A simulation that uses every part of the file format: settings away from
// their defaults, triggers with behaviours and trigger lists, groups with and
// without members, behaviours of all nine kinds, targets across groups, a
// behaviour that once followed a bug and now aims at a point, obstacles of
// both kinds in behaviours' lists, long and short strings, and force vectors
// left over from a few frames of running.
inline TRichParts BuildRichSimulation(TSimulation& sim) {
    TRichParts p;
    sim.SetFPS(30);
    sim.SetDelay(17);
    sim.SetLoop(true);
    sim.SetLoopSecond(5);
    sim.SetLoopFrame(3);
    sim.SetTimerTick(true);
    sim.Space.SetWidth(640);
    sim.Space.SetHeight(480.25L);
    sim.Space.SetColor(0x123456);

    p.Circle = sim.CreateObstacle(TObstacle::kCircle, 100, 100, 130, 130);
    p.Line = sim.CreateObstacle(TObstacle::kLine, 10.5L, 20, 50, 20.75L);

    p.Steer = sim.NewTrigger();
    p.Turn = sim.NewTrigger();
    p.Steer->SetSecond(2);
    p.Steer->SetFrame(3);
    p.Steer->SetChangeBehaviours(true);
    p.Steer->SetReservedFlag(true);
    p.Steer->SetReservedByte(7);
    p.Steer->Template.SetCombinationMethod(cmPriority);
    p.Steer->Template.MassVariantValue = {};
    p.Steer->Template.MassVariantValue.BaseValue = 12;
    p.Steer->Template.MassVariantValue.Difference = 20;
    p.Steer->Template.MassVariantValue.SignMode = vtplusminus;
    TSteeringBehaviour& avoid = AddBehaviour(*p.Steer->Template.Behaviours, bkObstacleAvoidance);
    avoid.Obstacles = {p.Line, p.Circle};
    avoid.SetPriority(1);
    TSteeringBehaviour& steerSeek = AddBehaviour(*p.Steer->Template.Behaviours, bkSeek);
    steerSeek.SetPriority(4);
    p.Steer->Template.Triggers = {p.Turn};
    p.Turn->SetSecond(0);
    p.Turn->SetFrame(0);
    p.Turn->Template.OrientationVariantValue.BaseValue = 90;
    p.Turn->Template.OrientationVariantValue.Apply = true;

    p.Ants = sim.NewGroup();
    p.Ants->SetName("Ants " + std::string(300, 'a'));
    p.Ants->SetColor(0x00FF00);
    TDefaultBug& ant = p.Ants->Template;
    ant.SetName("Ant");
    ant.SetCombinationMethod(cmWeightFactors);
    ant.MaxSpeedVariantValue.Difference = 10;
    ant.MaxSpeedVariantValue.SignMode = vtminus;
    ant.DiameterVariantValue.BaseValue = 3.5L;
    TSteeringBehaviour& cohesion = AddBehaviour(*ant.Behaviours, bkCohesion);
    cohesion.SetWeight(3);
    cohesion.SetPriority(2);
    cohesion.SetSensorRangeOn(true);
    cohesion.SetSensorRange(42.5L);
    TSteeringBehaviour& alignment = AddBehaviour(*ant.Behaviours, bkAlignment);
    alignment.SetAngleOn(true);
    alignment.SetAngle(200);
    alignment.SetWeight(1);
    AddBehaviour(*ant.Behaviours, bkSeparation).SetWeight(5);
    ant.Triggers = {p.Steer};
    TBug& a0 = *sim.CreateBug(*p.Ants, Vector(10.25L, 20.5L));
    TBug& a1 = *sim.CreateBug(*p.Ants, Vector(200, 150.125L));
    TBug& a2 = *sim.CreateBug(*p.Ants, Vector(-0.0L, 299.5L));

    p.Beetles = sim.NewGroup();
    TDefaultBug& beetle = p.Beetles->Template;
    beetle.SetCombinationMethod(cmLinearCombination);
    AddBehaviour(*beetle.Behaviours, bkArrival).SetStoppingRadius(40);
    AddBehaviour(*beetle.Behaviours, bkMothFlee).SetReserved(false);
    TBug& b0 = *sim.CreateBug(*p.Beetles, Vector(300, 30));
    TBug& b1 = *sim.CreateBug(*p.Beetles, Vector(310, 40));

    p.Empty = sim.NewGroup();
    AddBehaviour(*p.Empty->Template.Behaviours, bkFlee);

    // Targets across groups, in members and in a trigger's template.
    TSteeringBehaviour& seek = AddBehaviour(*a0.Behaviours, bkSeek);
    seek.SetTargetIsBug(true);
    seek.SetTargetBug(&b1);
    seek.SetSensorRange(250);
    TSteeringBehaviour& switched = AddBehaviour(*a0.Behaviours, bkMothSeek);
    switched.SetTargetBug(&b0);
    switched.SetTargetIsBug(false);
    switched.SetTargetPoint(Vector(33, 44));
    AddBehaviour(*a0.Behaviours, bkFlee).SetTargetPoint(Vector(-5, 7.5L));
    TSteeringBehaviour& arrive = *(*b1.Behaviours)[0];
    arrive.SetTargetIsBug(true);
    arrive.SetTargetBug(&a2);
    AddBehaviour(*b0.Behaviours, bkObstacleAvoidance).Obstacles = {p.Circle, p.Line, p.Circle};
    steerSeek.SetTargetIsBug(true);
    steerSeek.SetTargetBug(&a1);

    // Members of two groups share one trigger.
    a0.Triggers.push_back(p.Turn);
    b1.Triggers = {p.Turn};
    // The longest name that still takes the short string form.
    std::string longest = "Beetle ";
    longest.resize(255, 'b');
    b0.SetName(longest);

    for (int frame = 0; frame < 12; ++frame)
        sim.StepFrame();
    return p;
}

class SimulationFile : public SimulationFixture {
protected:
    // The simulation that a failed load must leave alone: one of everything.
    void BuildPrevious() {
        TTrigger& trigger = AddTrigger();
        TBugGroup& group = AddGroup();
        group.Template.Triggers = {&trigger};
        TBug& bug = AddBug(group, 50, 60);
        AddBehaviour(*bug.Behaviours, bkObstacleAvoidance).Obstacles = {
            sim.CreateObstacle(TObstacle::kLine, 1, 2, 3, 4)};
    }
};

} // namespace kova::test
