#include "cli/SceneFields.h"
#include "cli/SceneJson.h"
#include "foundations/NamedObject.h"
#include "foundations/Random.h"
#include "simulation/Simulation.h"
#include "steering/SteeringBehaviour.h"

#include <algorithm>
#include <unordered_map>

namespace kova {

namespace {

// The highest integer under an "id" key anywhere in the scene outside comments
// (0 for none). The walk keeps its own stack of values still to visit.
std::int32_t highestId(const TSceneJson& scene) {
    std::int64_t highest = 0;
    std::vector<const TSceneJson*> pending = {&scene};
    while (!pending.empty()) {
        const TSceneJson& value = *pending.back();
        pending.pop_back();
        if (value.is_object()) {
            for (const auto& item : value.items()) {
                const TSceneJson& v = item.value();
                if (IsCommentKey(item.key()))
                    continue;
                if (item.key() == "id" && v.is_number_integer())
                    highest =
                        std::max(highest, std::min<std::int64_t>(v.get<std::int64_t>(), INT32_MAX));
                else
                    pending.push_back(&v);
            }
        } else if (value.is_array()) {
            for (const TSceneJson& item : value)
                pending.push_back(&item);
        }
    }
    return static_cast<std::int32_t>(highest);
}

std::uint8_t readBehaviourKind(const TSceneJson& value, const std::string& path) {
    const std::string expected = "expected a behaviour kind from 0 to " +
                                 std::to_string(kBehaviourKindCount - 1) +
                                 " or its name (\"Seek\", ...)";
    if (value.is_string()) {
        for (int kind = 0; kind < kBehaviourKindCount; ++kind)
            if (value.get_ref<const std::string&>() ==
                BehaviourKindName(static_cast<std::uint8_t>(kind)))
                return static_cast<std::uint8_t>(kind);
        SceneFail(path, expected);
    }
    if (!value.is_number_integer() || value.get<std::int64_t>() < 0 ||
        value.get<std::int64_t>() >= kBehaviourKindCount)
        SceneFail(path, expected);
    return static_cast<std::uint8_t>(value.get<std::int64_t>());
}

// 0 is a circle and 1 a line. The file keeps any other byte as well, and the
// steering skips such an obstacle; a scene may give one so that every file
// can be written as a scene and built back.
std::uint8_t readObstacleKind(const TSceneJson& value, const std::string& path) {
    if (value.is_string()) {
        if (value.get_ref<const std::string&>() == "circle")
            return TObstacle::kCircle;
        if (value.get_ref<const std::string&>() == "line")
            return TObstacle::kLine;
        SceneFail(path, "expected 0, 1, \"circle\" or \"line\"");
    }
    if (!value.is_number_integer() || value.get<std::int64_t>() < 0 ||
        value.get<std::int64_t>() > 255)
        SceneFail(path, "expected an obstacle kind from 0 to 255 (0 a circle, 1 a line), "
                        "\"circle\" or \"line\"");
    return static_cast<std::uint8_t>(value.get<std::int64_t>());
}

// Puts the process-wide Id counter and random seed back when the build ends.
class TSharedStateGuard {
public:
    TSharedStateGuard() : counter_(IdCounter()), seed_(RandSeed()) {}
    ~TSharedStateGuard() {
        SetIdCounter(std::max(counter_, IdCounter()));
        SetRandSeed(seed_);
    }
    TSharedStateGuard(const TSharedStateGuard&) = delete;
    TSharedStateGuard& operator=(const TSharedStateGuard&) = delete;

private:
    std::int32_t counter_;
    std::uint32_t seed_;
};

class TSceneBuilder {
public:
    explicit TSceneBuilder(TSimulation& simulation) : simulation_(simulation) {}

    void Build(TSceneFields& scene) {
        if (const TSceneJson* v = scene.Find("settings"))
            readSettings(*v, "settings");
        if (const TSceneJson* v = scene.Find("space"))
            readSpace(*v, "space");
        // Obstacles first: behaviours refer to them, and a member copies its
        // template's behaviours, obstacle list included, when it is made.
        forEachItem(scene, "obstacles",
                    [&](const TSceneJson& v, const std::string& path) { readObstacle(v, path); });
        forEachItem(scene, "triggers",
                    [&](const TSceneJson& v, const std::string& path) { readTrigger(v, path); });
        for (const auto& [owner, ids, path] : pendingTriggerLists_)
            owner->Triggers = resolveTriggers(*ids, path);
        forEachItem(scene, "groups",
                    [&](const TSceneJson& v, const std::string& path) { readGroup(v, path); });
        checkReferencedIds();
        resolveTargetBugs();
    }

private:
    struct TPendingTriggerList {
        TBasisBug* Owner;
        const TSceneJson* Ids;
        std::string Path;
    };

    // An object that references can name by its Id, and its place in the scene.
    struct TIdHolder {
        const TNamedObject* Object;
        std::string Path;
        bool IdGiven;
    };

    template <typename Visit> void forEachItem(TSceneFields& fields, const char* key, Visit visit) {
        const TSceneJson* list = fields.Find(key);
        if (list == nullptr)
            return;
        ReadArray(*list, fields.Path(key));
        for (std::size_t i = 0; i < list->size(); ++i)
            visit((*list)[i], IndexPath(fields.Path(key), i));
    }

    void readSettings(const TSceneJson& value, const std::string& path) {
        TSceneFields fields(value, path);
        TSimulation& s = simulation_;
        fields.Get("name", s.Name);
        fields.Get("id", s.Id);
        if (const TSceneJson* fps = fields.Find("fps"))
            s.FPS = static_cast<std::uint8_t>(ReadIntegerInRange(*fps, fields.Path("fps"), 1, 255));
        fields.Get("pixelsPerMeter", s.PixelsPerMeter);
        fields.Get("delay", s.Delay);
        fields.Get("loopSecond", s.LoopSecond);
        fields.Get("loopFrame", s.LoopFrame);
        fields.Get("currentSecond", s.CurrentSecond);
        fields.Get("currentFrame", s.CurrentFrame);
        fields.Get("loop", s.Loop);
        fields.Get("timerTick", s.TimerTick);
        fields.Finish();
    }

    void readSpace(const TSceneJson& value, const std::string& path) {
        TSceneFields fields(value, path);
        TSpace& space = simulation_.Space;
        fields.Get("name", space.Name);
        fields.Get("id", space.Id);
        fields.Get("width", space.Width);
        fields.Get("height", space.Height);
        if (const TSceneJson* color = fields.Find("color"))
            space.Color = ReadColor(*color, fields.Path("color"));
        fields.Finish();
    }

    void readShape(TShape& shape, const TSceneJson& value, const std::string& path) {
        TSceneFields fields(value, path);
        fields.Get("name", shape.Name);
        fields.Get("id", shape.Id);
        fields.Get("size", shape.Size);
        fields.Get("kind", shape.Kind);
        fields.Finish();
    }

    void readObstacle(const TSceneJson& value, const std::string& path) {
        TSceneFields fields(value, path);
        std::uint8_t kind = TObstacle::kCircle;
        if (const TSceneJson* v = fields.Find("kind"))
            kind = readObstacleKind(*v, fields.Path("kind"));
        Vector p1;
        Vector p2;
        fields.Get("p1", p1);
        fields.Get("p2", p2);
        TObstacle& obstacle = *simulation_.CreateObstacle(kind, p1[0], p1[1], p2[0], p2[1]);
        fields.Get("name", obstacle.Name);
        fields.Get("id", obstacle.Id);
        fields.Get("reserved", obstacle.Reserved);
        fields.Get("radius", obstacle.Radius);
        fields.Get("centre", obstacle.Centre);
        if (const TSceneJson* shape = fields.Find("shape"))
            readShape(obstacle.Shape, *shape, fields.Path("shape"));
        fields.Finish();
        obstacle.UpdateElement();
        obstacles_.emplace(obstacle.Id, &obstacle);
        obstacleHolders_.push_back({&obstacle, path, fields.Find("id") != nullptr});
    }

    void readTrigger(const TSceneJson& value, const std::string& path) {
        TSceneFields fields(value, path);
        TTrigger& trigger = *simulation_.NewTrigger();
        fields.Get("name", trigger.Name);
        fields.Get("id", trigger.Id);
        fields.Get("second", trigger.Second);
        fields.Get("frame", trigger.Frame);
        fields.Get("changeBehaviours", trigger.ChangeBehaviours);
        fields.Get("reservedFlag", trigger.ReservedFlag);
        fields.Get("reservedByte", trigger.ReservedByte);
        if (const TSceneJson* tmpl = fields.Find("template"))
            readTemplate(trigger.Template, *tmpl, fields.Path("template"), false);
        fields.Finish();
        triggers_.emplace(trigger.Id, &trigger);
        triggerHolders_.push_back({&trigger, path, fields.Find("id") != nullptr});
    }

    void readGroup(const TSceneJson& value, const std::string& path) {
        TSceneFields fields(value, path);
        TBugGroup& group = *simulation_.NewGroup();
        fields.Get("name", group.Name);
        fields.Get("id", group.Id);
        if (const TSceneJson* color = fields.Find("color"))
            group.Color = ReadColor(*color, fields.Path("color"));
        if (const TSceneJson* tmpl = fields.Find("template"))
            readTemplate(group.Template, *tmpl, fields.Path("template"), true);
        forEachItem(fields, "members", [&](const TSceneJson& v, const std::string& memberPath) {
            readMember(group, v, memberPath);
        });
        if (const TSceneJson* v = fields.Find("randomMembers"))
            readRandomMembers(group, *v, fields.Path("randomMembers"));
        fields.Finish();
    }

    // {"rectangle": [x1, y1, x2, y2], "count": N}: N members made like
    // members given as [x, y], after the listed ones, each at a position drawn
    // from the random generator (x, then y) just before its values are drawn
    // from the template.
    void readRandomMembers(TBugGroup& group, const TSceneJson& value, const std::string& path) {
        TSceneFields fields(value, path);
        const TSceneJson* rectangle = fields.Find("rectangle");
        const std::string rectanglePath = fields.Path("rectangle");
        if (rectangle == nullptr || !rectangle->is_array() || rectangle->size() != 4)
            SceneFail(rectanglePath, "expected [x1, y1, x2, y2]");
        Extended corners[4];
        for (std::size_t i = 0; i < 4; ++i)
            corners[i] = ReadExtended((*rectangle)[i], IndexPath(rectanglePath, i));
        const TSceneJson* count = fields.Find("count");
        if (count == nullptr)
            SceneFail(fields.Path("count"), "expected the number of members");
        const auto members = static_cast<std::size_t>(
            ReadIntegerInRange(*count, fields.Path("count"), 0, kMaxRandomMembers));
        fields.Finish();
        for (std::size_t i = 0; i < members; ++i) {
            const Extended x = corners[0] + (corners[2] - corners[0]) * RandomFraction();
            const Extended y = corners[1] + (corners[3] - corners[1]) * RandomFraction();
            TBug* bug = simulation_.CreateBug(group, Vector(x, y));
            memberHolders_.push_back({bug, IndexPath(path, i), false});
        }
    }

    // k / 2^32 for k drawn from 0 .. 2^32 - 2: a fraction in [0, 1).
    static Extended RandomFraction() {
        return static_cast<Extended>(Random(UINT32_MAX)) / 4294967296.0L;
    }

    // More members than a group of the program has room for in memory.
    static constexpr std::int64_t kMaxRandomMembers = 100000000;

    void readTemplate(TDefaultBug& tmpl, const TSceneJson& value, const std::string& path,
                      bool triggersExist) {
        TSceneFields fields(value, path);
        readBasis(tmpl, fields, triggersExist);
        const std::pair<const char*, TVariantExtended*> variants[] = {
            {"currentSpeed", &tmpl.CurrentSpeedVariantValue},
            {"diameter", &tmpl.DiameterVariantValue},
            {"mass", &tmpl.MassVariantValue},
            {"maxForce", &tmpl.MaxForceVariantValue},
            {"maxSpeed", &tmpl.MaxSpeedVariantValue},
            {"minSpeed", &tmpl.MinSpeedVariantValue},
            {"orientation", &tmpl.OrientationVariantValue}};
        for (const auto& [key, variant] : variants)
            if (const TSceneJson* v = fields.Find(key))
                *variant = ReadVariant(*v, fields.Path(key), *variant);
        fields.Finish();
    }

    // Name, Id, triggers, combination method and behaviours. Trigger lists of
    // trigger templates wait until every trigger exists.
    void readBasis(TBasisBug& basis, TSceneFields& fields, bool triggersExist) {
        fields.Get("name", basis.Name);
        fields.Get("id", basis.Id);
        if (const TSceneJson* ids = fields.Find("triggers")) {
            if (triggersExist)
                basis.Triggers = resolveTriggers(*ids, fields.Path("triggers"));
            else
                pendingTriggerLists_.push_back({&basis, ids, fields.Path("triggers")});
        }
        fields.Get("combinationMethod", basis.CombinationMethod);
        if (const TSceneJson* list = fields.Find("behaviours")) {
            const std::string listPath = fields.Path("behaviours");
            ReadArray(*list, listPath);
            TBehaviourList behaviours;
            for (std::size_t i = 0; i < list->size(); ++i)
                behaviours.push_back(readBehaviour((*list)[i], IndexPath(listPath, i)));
            // The list object stays: a bug's start list is the same object.
            *basis.Behaviours = std::move(behaviours);
        }
    }

    std::unique_ptr<TSteeringBehaviour> readBehaviour(const TSceneJson& value,
                                                      const std::string& path) {
        TSceneFields fields(value, path);
        std::uint8_t kind = bkSeek;
        if (const TSceneJson* v = fields.Find("kind"))
            kind = readBehaviourKind(*v, fields.Path("kind"));
        auto behaviour = std::make_unique<TSteeringBehaviour>(kind);
        TSteeringBehaviour& b = *behaviour;
        fields.Get("name", b.Name);
        fields.Get("id", b.Id);
        fields.Get("weight", b.Weight);
        fields.Get("priority", b.Priority);
        fields.Get("sensorRange", b.SensorRange);
        fields.Get("angle", b.Angle);
        fields.Get("stoppingRadius", b.StoppingRadius);
        fields.Get("reserved", b.Reserved);
        fields.Get("sensorRangeOn", b.SensorRangeOn);
        fields.Get("targetIsBug", b.TargetIsBug);
        fields.Get("angleOn", b.AngleOn);
        std::int32_t targetId = 0;
        fields.Get("targetBugId", targetId);
        // As the file loader does: the Id of a bug is kept until every bug
        // exists; a behaviour that does not follow a bug keeps a positive Id
        // only to write it back.
        if (b.TargetIsBug && targetId < 1)
            SceneFail(fields.Path("targetBugId"),
                      "expected the Id of a bug, as targetIsBug is true");
        b.StoredTargetId = std::max(targetId, 0);
        if (const TSceneJson* ids = fields.Find("obstacleIds")) {
            const std::string idsPath = fields.Path("obstacleIds");
            const std::vector<std::int32_t> list = ReadIdList(*ids, idsPath);
            for (std::size_t i = 0; i < list.size(); ++i) {
                const auto it = obstacles_.find(list[i]);
                if (it == obstacles_.end())
                    SceneFail(IndexPath(idsPath, i),
                              "no obstacle has Id " + std::to_string(list[i]));
                b.Obstacles.push_back(it->second);
            }
        }
        fields.Get("targetPoint", b.TargetPoint);
        fields.Finish();
        return behaviour;
    }

    void readMember(TBugGroup& group, const TSceneJson& value, const std::string& path) {
        if (value.is_array()) {
            memberHolders_.push_back(
                {simulation_.CreateBug(group, ReadVector(value, path)), path, false});
            return;
        }
        if (!value.is_object())
            SceneFail(path, "expected an object or an array of two numbers");
        TSceneFields fields(value, path);
        Vector position;
        fields.Get("position", position);
        TBug& bug = *simulation_.CreateBug(group, position);
        readBasis(bug, fields, true);
        fields.Get("mass", bug.Mass);
        fields.Get("currentSpeed", bug.CurrentSpeed);
        fields.Get("minSpeed", bug.MinSpeed);
        fields.Get("maxSpeed", bug.MaxSpeed);
        fields.Get("maxForce", bug.MaxForce);
        Extended orientation = bug.Orientation();
        fields.Get("orientation", orientation);
        bug.AssignOrientation(orientation);
        fields.Get("groupMember", bug.GroupMember);
        fields.Get("steeringForce", bug.SteeringForce);
        fields.Get("limitedForce", bug.LimitedForce);
        fields.Get("acceleration", bug.Acceleration);
        // Start values are always the current values, as loading makes them;
        // the stored start position is read only to check it.
        Vector startPosition;
        fields.Get("startPosition", startPosition);
        if (const TSceneJson* shape = fields.Find("shape"))
            readShape(bug.Shape, *shape, fields.Path("shape"));
        if (const TSceneJson* velocity = fields.Find("velocity"))
            bug.Velocity = ReadVector(*velocity, fields.Path("velocity"));
        else if (fields.Find("currentSpeed") != nullptr || fields.Find("orientation") != nullptr)
            bug.SetOrientation(orientation);
        fields.Finish();
        bug.StoreStartValues();
        bug.RefreshElement();
        memberHolders_.push_back({&bug, path, fields.Find("id") != nullptr});
    }

    std::vector<TTrigger*> resolveTriggers(const TSceneJson& value, const std::string& path) {
        std::vector<TTrigger*> triggers;
        const std::vector<std::int32_t> ids = ReadIdList(value, path);
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const auto it = triggers_.find(ids[i]);
            if (it == triggers_.end())
                SceneFail(IndexPath(path, i), "no trigger has Id " + std::to_string(ids[i]));
            triggers.push_back(it->second);
        }
        return triggers;
    }

    void resolveTargetList(TBehaviourList& list, const std::string& path,
                           const std::unordered_map<std::int32_t, TBug*>& bugs) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            TSteeringBehaviour& b = *list[i];
            if (!b.TargetIsBug || b.TargetBug != nullptr)
                continue;
            const auto it = bugs.find(b.StoredTargetId);
            if (it == bugs.end())
                SceneFail(FieldPath(IndexPath(FieldPath(path, "behaviours"), i), "targetBugId"),
                          "no bug has Id " + std::to_string(b.StoredTargetId));
            b.TargetBug = it->second;
            b.StoredTargetId = 0;
        }
    }

    // The file finds triggers, member bugs and obstacles through one table of
    // Ids, filled in that order, where the first object entered under an Id
    // hides every later one: a reference to the later object would find the
    // earlier, or an object of the wrong kind, and the file would not load.
    // Ids the builder draws lie above every given Id, so only given Ids clash,
    // unless the counter wraps round past the highest Id.
    void checkReferencedIds() const {
        std::unordered_map<std::int32_t, const TIdHolder*> holders;
        for (const auto* list : {&triggerHolders_, &memberHolders_, &obstacleHolders_})
            for (const TIdHolder& holder : *list) {
                const auto [earlier, isNew] = holders.emplace(holder.Object->Id, &holder);
                if (!isNew)
                    SceneFail(holder.IdGiven ? FieldPath(holder.Path, "id") : holder.Path,
                              "Id " + std::to_string(holder.Object->Id) + " is already the Id of " +
                                  earlier->second->Path);
            }
    }

    // Target bugs may be members of any group, so they are looked up once every
    // member exists; members' copies of template behaviours are resolved too.
    void resolveTargetBugs() {
        std::unordered_map<std::int32_t, TBug*> bugs;
        for (const auto& group : simulation_.Groups)
            for (const auto& member : group->Members)
                bugs.emplace(member->Id, member.get());
        for (std::size_t t = 0; t < simulation_.Triggers.size(); ++t)
            resolveTargetList(*simulation_.Triggers[t]->Template.Behaviours,
                              FieldPath(IndexPath("triggers", t), "template"), bugs);
        for (std::size_t g = 0; g < simulation_.Groups.size(); ++g) {
            TBugGroup& group = *simulation_.Groups[g];
            const std::string groupPath = IndexPath("groups", g);
            resolveTargetList(*group.Template.Behaviours, FieldPath(groupPath, "template"), bugs);
            for (std::size_t m = 0; m < group.Members.size(); ++m)
                resolveTargetList(*group.Members[m]->Behaviours,
                                  IndexPath(FieldPath(groupPath, "members"), m), bugs);
        }
    }

    TSimulation& simulation_;
    // Lookups by Id; the first object entered under an Id wins, as in the loader.
    std::unordered_map<std::int32_t, TTrigger*> triggers_;
    std::unordered_map<std::int32_t, TObstacle*> obstacles_;
    std::vector<TPendingTriggerList> pendingTriggerLists_;
    std::vector<TIdHolder> triggerHolders_;
    std::vector<TIdHolder> memberHolders_;
    std::vector<TIdHolder> obstacleHolders_;
};

} // namespace

std::unique_ptr<TSimulation> BuildSimulation(const TSceneJson& scene) {
    TSceneFields fields(scene, "");
    TSharedStateGuard guard;
    std::uint32_t seed = 0;
    fields.Get("randomSeed", seed);
    SetRandSeed(seed);
    SetIdCounter(highestId(scene));

    auto simulation = std::make_unique<TSimulation>();
    TSceneBuilder(*simulation).Build(fields);
    fields.Finish();
    simulation->Rewind();
    return simulation;
}

// The help gives the nesting limit and the behaviour kinds in words.
static_assert(kMaxSceneDepth == 256 && kBehaviourKindCount == 9);

const char* BuildSceneHelp() {
    return R"(Scene files (JSON), as "dump" writes them and "build" reads them:
  {"settings": {name, id, fps, pixelsPerMeter, delay, loopSecond, loopFrame,
                currentSecond, currentFrame, loop, timerTick},
   "space": {name, id, width, height, color},
   "triggers": [{name, id, second, frame, changeBehaviours, reservedFlag,
                 reservedByte, template}],
   "groups": [{name, id, color, template, members: [...], randomMembers}],
   "obstacles": [{name, id, reserved, radius, p1, p2, centre, shape, kind}],
   "randomSeed": 0}
  template: name, id, triggers (Ids), combinationMethod, behaviours, and the
    randomised values currentSpeed, diameter, mass, maxForce, maxSpeed,
    minSpeed, orientation, each {base, difference, signMode, apply}.
  member: name, id, triggers, combinationMethod, behaviours, mass, currentSpeed,
    minSpeed, maxSpeed, maxForce, orientation, groupMember, velocity, position,
    steeringForce, limitedForce, acceleration, startPosition,
    shape {name, id, size, kind}.
  behaviour: name, id, kind, weight, priority, sensorRange, angle,
    stoppingRadius, reserved, sensorRangeOn, targetIsBug, angleOn, targetBugId,
    obstacleIds, targetPoint.
Numbers: an 80-bit float is written as the shortest decimal that reads back
  to the same bits; values without one (inf, nan) are strings: "inf", "-inf",
  "nan", "-nan" or "x80:" + the 20 hex digits of the ten file bytes. Vectors are
  [x, y]; colours red + green*256 + blue*65536 (build also takes [r, g, b]).
  A name that is not UTF-8 is {"bytes": "<hex>"}.
References are Ids within the scene: template and member "triggers",
  behaviour "targetBugId" (followed when targetIsBug is true) and
  "obstacleIds".
Building: every field may be left out; objects are made as the program makes
  them (groups "Group_<n>", triggers "Trigger_<n>", obstacles from kind, p1,
  p2 with centre and radius computed, behaviours with the defaults of their
  kind) and the given fields are then set. Short forms:
  - a member given as [x, y], or as an object without values, is made like a
    bug placed with the mouse: values drawn from the template (random
    generator seeded with "randomSeed"), named <template name>_<n>, copies of
    the template's behaviours and triggers; given fields replace the drawn
    ones, and a member with an orientation or speed but no velocity gets the
    velocity of that heading and speed;
  - "randomMembers": {"rectangle": [x1, y1, x2, y2], "count": N} adds N
    members after the listed ones, made like members given as [x, y], each at
    x = x1 + (x2 - x1) * k / 2^32, then y likewise, with k = Random(2^32 - 1)
    from the generator seeded with "randomSeed", before its values are drawn;
  - a randomised value given as a number n means {"base": n, "apply": true};
  - behaviour kinds may be names ("Seek", "Obstacle Avoidance"), obstacle
    kinds "circle" or "line", signModes "+", "-", "+-".
  Behaviour kinds are 0 to 8; obstacle kinds 0 (circle), 1 (line) or another
  byte up to 255, an obstacle that steering passes by.
  Objects without an "id" get Ids above the highest Id in the scene. Triggers,
  members and obstacles are found by Id, so no two of them may share one.
  Current values become start values and the clock is 0:0, as after loading a
  file ("startPosition" is only checked). Keys beginning with "_" are
  comments, which change nothing. Arrays and objects nest at most 256 levels
  deep.)";
}

} // namespace kova
