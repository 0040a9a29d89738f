#include "cli/ExtendedText.h"
#include "cli/HexText.h"
#include "cli/SceneJson.h"
#include "simulation/Simulation.h"
#include "steering/SteeringBehaviour.h"

namespace kova {

namespace {

TSceneJson nameJson(const std::string& name) {
    if (IsValidUtf8(name))
        return name;
    return TSceneJson{{"bytes", HexText(name)}};
}

TSceneJson extendedJson(Extended value) {
    if (!HasExactDecimalText(value))
        return ExactText(value);
    return value;
}

TSceneJson vectorJson(const Vector& v) {
    return TSceneJson::array({extendedJson(v[0]), extendedJson(v[1])});
}

TSceneJson variantJson(const TVariantExtended& value) {
    TSceneJson json = TSceneJson::object();
    json["base"] = extendedJson(value.BaseValue);
    json["difference"] = value.Difference;
    json["signMode"] = static_cast<std::uint8_t>(value.SignMode);
    json["apply"] = value.Apply;
    return json;
}

TSceneJson shapeJson(const TShape& shape) {
    TSceneJson json = TSceneJson::object();
    json["name"] = nameJson(shape.Name);
    json["id"] = shape.Id;
    json["size"] = vectorJson(shape.Size);
    json["kind"] = shape.Kind;
    return json;
}

TSceneJson behaviourJson(const TSteeringBehaviour& behaviour) {
    TSceneJson json = TSceneJson::object();
    json["name"] = nameJson(behaviour.Name);
    json["id"] = behaviour.Id;
    json["kind"] = behaviour.Kind;
    json["weight"] = behaviour.Weight;
    json["priority"] = behaviour.Priority;
    json["sensorRange"] = extendedJson(behaviour.SensorRange);
    json["angle"] = extendedJson(behaviour.Angle);
    json["stoppingRadius"] = extendedJson(behaviour.StoppingRadius);
    json["reserved"] = behaviour.Reserved;
    json["sensorRangeOn"] = behaviour.SensorRangeOn;
    json["targetIsBug"] = behaviour.TargetIsBug;
    json["angleOn"] = behaviour.AngleOn;
    // The Id the record carries: a bug the behaviour no longer follows keeps
    // its stored Id.
    json["targetBugId"] =
        behaviour.TargetBug != nullptr ? behaviour.TargetBug->Id : behaviour.StoredTargetId;
    TSceneJson obstacles = TSceneJson::array();
    for (const TObstacle* obstacle : behaviour.Obstacles)
        obstacles.push_back(obstacle->Id);
    json["obstacleIds"] = std::move(obstacles);
    json["targetPoint"] = vectorJson(behaviour.TargetPoint);
    return json;
}

// Name, Id, trigger Ids, combination method and behaviours: the part that
// templates and bugs share.
TSceneJson basisJson(const TBasisBug& basis) {
    TSceneJson json = TSceneJson::object();
    json["name"] = nameJson(basis.Name);
    json["id"] = basis.Id;
    TSceneJson triggers = TSceneJson::array();
    for (const TTrigger* trigger : basis.Triggers)
        triggers.push_back(trigger->Id);
    json["triggers"] = std::move(triggers);
    json["combinationMethod"] = basis.CombinationMethod;
    TSceneJson behaviours = TSceneJson::array();
    for (const auto& behaviour : *basis.Behaviours)
        behaviours.push_back(behaviourJson(*behaviour));
    json["behaviours"] = std::move(behaviours);
    return json;
}

TSceneJson templateJson(const TDefaultBug& tmpl) {
    TSceneJson json = basisJson(tmpl);
    json["currentSpeed"] = variantJson(tmpl.CurrentSpeedVariantValue);
    json["diameter"] = variantJson(tmpl.DiameterVariantValue);
    json["mass"] = variantJson(tmpl.MassVariantValue);
    json["maxForce"] = variantJson(tmpl.MaxForceVariantValue);
    json["maxSpeed"] = variantJson(tmpl.MaxSpeedVariantValue);
    json["minSpeed"] = variantJson(tmpl.MinSpeedVariantValue);
    json["orientation"] = variantJson(tmpl.OrientationVariantValue);
    return json;
}

TSceneJson bugJson(const TBug& bug) {
    TSceneJson json = basisJson(bug);
    json["mass"] = extendedJson(bug.Mass);
    json["currentSpeed"] = extendedJson(bug.CurrentSpeed);
    json["minSpeed"] = extendedJson(bug.MinSpeed);
    json["maxSpeed"] = extendedJson(bug.MaxSpeed);
    json["maxForce"] = extendedJson(bug.MaxForce);
    json["orientation"] = extendedJson(bug.Orientation());
    json["groupMember"] = bug.GroupMember;
    json["velocity"] = vectorJson(bug.Velocity);
    json["position"] = vectorJson(bug.Position);
    json["steeringForce"] = vectorJson(bug.SteeringForce);
    json["limitedForce"] = vectorJson(bug.LimitedForce);
    json["acceleration"] = vectorJson(bug.Acceleration);
    json["startPosition"] = vectorJson(bug.StartPosition);
    json["shape"] = shapeJson(bug.Shape);
    return json;
}

TSceneJson settingsJson(const TSimulation& simulation) {
    TSceneJson json = TSceneJson::object();
    json["name"] = nameJson(simulation.Name);
    json["id"] = simulation.Id;
    json["fps"] = simulation.FPS;
    json["pixelsPerMeter"] = simulation.PixelsPerMeter;
    json["delay"] = simulation.Delay;
    json["loopSecond"] = simulation.LoopSecond;
    json["loopFrame"] = simulation.LoopFrame;
    json["currentSecond"] = simulation.CurrentSecond;
    json["currentFrame"] = simulation.CurrentFrame;
    json["loop"] = simulation.Loop;
    json["timerTick"] = simulation.TimerTick;
    return json;
}

TSceneJson spaceJson(const TSpace& space) {
    TSceneJson json = TSceneJson::object();
    json["name"] = nameJson(space.Name);
    json["id"] = space.Id;
    json["width"] = extendedJson(space.Width);
    json["height"] = extendedJson(space.Height);
    json["color"] = space.Color;
    return json;
}

TSceneJson triggerJson(const TTrigger& trigger) {
    TSceneJson json = TSceneJson::object();
    json["name"] = nameJson(trigger.Name);
    json["id"] = trigger.Id;
    json["second"] = trigger.Second;
    json["frame"] = trigger.Frame;
    json["changeBehaviours"] = trigger.ChangeBehaviours;
    json["reservedFlag"] = trigger.ReservedFlag;
    json["reservedByte"] = trigger.ReservedByte;
    json["template"] = templateJson(trigger.Template);
    return json;
}

TSceneJson groupJson(const TBugGroup& group) {
    TSceneJson json = TSceneJson::object();
    json["name"] = nameJson(group.Name);
    json["id"] = group.Id;
    json["color"] = group.Color;
    json["template"] = templateJson(group.Template);
    TSceneJson members = TSceneJson::array();
    for (const auto& member : group.Members)
        members.push_back(bugJson(*member));
    json["members"] = std::move(members);
    return json;
}

TSceneJson obstacleJson(const TObstacle& obstacle) {
    TSceneJson json = TSceneJson::object();
    json["name"] = nameJson(obstacle.Name);
    json["id"] = obstacle.Id;
    json["reserved"] = obstacle.Reserved;
    json["radius"] = extendedJson(obstacle.Radius);
    json["p1"] = vectorJson(obstacle.P1);
    json["p2"] = vectorJson(obstacle.P2);
    json["centre"] = vectorJson(obstacle.Centre);
    json["shape"] = shapeJson(obstacle.Shape);
    json["kind"] = obstacle.Kind;
    return json;
}

} // namespace

TSceneJson DumpSimulation(const TSimulation& simulation) {
    TSceneJson scene = TSceneJson::object();
    scene["settings"] = settingsJson(simulation);
    scene["space"] = spaceJson(simulation.Space);
    TSceneJson triggers = TSceneJson::array();
    for (const auto& trigger : simulation.Triggers)
        triggers.push_back(triggerJson(*trigger));
    scene["triggers"] = std::move(triggers);
    TSceneJson groups = TSceneJson::array();
    for (const auto& group : simulation.Groups)
        groups.push_back(groupJson(*group));
    scene["groups"] = std::move(groups);
    TSceneJson obstacles = TSceneJson::array();
    for (const auto& obstacle : simulation.Obstacles)
        obstacles.push_back(obstacleJson(*obstacle));
    scene["obstacles"] = std::move(obstacles);
    return scene;
}

} // namespace kova
