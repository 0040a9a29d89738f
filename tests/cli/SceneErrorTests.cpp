#include "cli/SceneJson.h"
#include "simulation/Simulation.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

struct ErrorCase {
    const char* Scene;
    const char* Message;
};

// A wrong scene is refused with one line that names the field at fault.
const ErrorCase kErrorCases[] = {
    {R"([1, 2])", "expected an object"},
    {R"({"settings": 5})", "settings: expected an object"},
    {R"({"settings": {"fsp": 25}})", "settings.fsp: unknown field"},
    {R"({"settings": {"fps": 0}})", "settings.fps: expected an integer from 1 to 255"},
    {R"({"settings": {"fps": 25.5}})", "settings.fps: expected an integer from 1 to 255"},
    {R"({"settings": {"delay": 70000}})", "settings.delay: expected an integer from 0 to 65535"},
    {R"({"settings": {"loop": "yes"}})", "settings.loop: expected true or false"},
    {R"({"space": {"width": "wide"}})", "space.width: expected a number"},
    {R"({"space": {"name": 3}})", "space.name: expected a string"},
    {R"({"groups": {}})", "groups: expected an array"},
    {R"({"groups": [{"color": [1, 2]}]})",
     "groups[0].color: expected a colour value or [red, green, blue]"},
    {R"({"groups": [{"color": [1, 2, 300]}]})",
     "groups[0].color[2]: expected an integer from 0 to 255"},
    {R"({"groups": [{"members": [[1, 2], [1, 2], [1, 2], {"position": [1]}]}]})",
     "groups[0].members[3].position: expected an array of two numbers"},
    {R"({"groups": [{"members": [[1, 2], [3]]}]})",
     "groups[0].members[1]: expected an array of two numbers"},
    {R"({"groups": [{"members": [5]}]})",
     "groups[0].members[0]: expected an object or an array of two numbers"},
    {R"({"groups": [{"members": [{"velocity": [1, true]}]}]})",
     "groups[0].members[0].velocity: expected an array of two numbers"},
    {R"({"groups": [{"template": {"mass": {"base": 1, "diff": 3}}}]})",
     "groups[0].template.mass.diff: unknown field"},
    {R"({"groups": [{"template": {"mass": {"signMode": "*"}}}]})",
     "groups[0].template.mass.signMode: expected 0, 1, 2, \"+\", \"-\" or \"+-\""},
    {R"({"groups": [{"template": {"triggers": [3]}}]})",
     "groups[0].template.triggers[0]: no trigger has Id 3"},
    {R"({"triggers": [{"id": 1, "template": {"triggers": [1, 8]}}], "groups": []})",
     "triggers[0].template.triggers[1]: no trigger has Id 8"},
    {R"({"groups": [{"template": {"behaviours": [{"kind": "Wander"}]}}]})",
     "groups[0].template.behaviours[0].kind: expected a behaviour kind from 0 to 8 or its name "
     "(\"Seek\", ...)"},
    {R"({"groups": [{"template": {"behaviours": [{"weight": -1}]}}]})",
     "groups[0].template.behaviours[0].weight: expected an integer from 0 to 65535"},
    {R"({"groups": [{"template": {"behaviours": [{"targetIsBug": true}]}}]})",
     "groups[0].template.behaviours[0].targetBugId: expected the Id of a bug, as targetIsBug is "
     "true"},
    {R"({"groups": [{"template": {"behaviours": [{"targetIsBug": true, "targetBugId": 99}]},
                     "members": [[1, 1]]}]})",
     "groups[0].template.behaviours[0].targetBugId: no bug has Id 99"},
    {R"({"groups": [{"members": [{"behaviours": [{}, {"targetIsBug": true, "targetBugId": 400}]}]}]})",
     "groups[0].members[0].behaviours[1].targetBugId: no bug has Id 400"},
    {R"({"obstacles": [{"id": 5}], "groups": [{"template": {"behaviours": [{"obstacleIds": [5, 6]}]}}]})",
     "groups[0].template.behaviours[0].obstacleIds[1]: no obstacle has Id 6"},
    {R"({"obstacles": [{"kind": "square"}]})",
     "obstacles[0].kind: expected 0, 1, \"circle\" or \"line\""},
    {R"({"groups": [{"members": [{"shape": {"size": 5}}]}]})",
     "groups[0].members[0].shape.size: expected an array of two numbers"},
    {R"({"groups": [{"name": {"bytes": "4g"}}]})", "groups[0].name: expected a string"},
    {R"({"randomSeed": -1})", "randomSeed: expected an integer from 0 to 4294967295"},
};

TEST(SceneErrors, NameTheFieldAtFault) {
    for (const ErrorCase& error : kErrorCases) {
        SCOPED_TRACE(error.Scene);
        try {
            BuildSimulation(ParseSceneText(error.Scene));
            ADD_FAILURE() << "accepted";
        } catch (const ESceneError& caught) {
            EXPECT_EQ(std::string(caught.what()), error.Message);
        }
    }
}

TEST(SceneErrors, TextThatIsNotJsonGivesLineAndColumn) {
    try {
        ParseSceneText("{\n  \"settings\": {,}\n}");
        ADD_FAILURE() << "accepted";
    } catch (const ESceneError& caught) {
        const std::string message = caught.what();
        EXPECT_EQ(message.rfind("line 2, column 16: syntax error", 0), 0U) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos);
    }
}

TEST(SceneErrors, CommentKeysAreAllowedEverywhere) {
    EXPECT_NO_THROW(BuildSimulation(ParseSceneText(
        R"({"_about": "x", "groups": [{"_note": 1, "template": {"_why": [], "mass": {"_": 0}},
            "members": [{"_who": "me", "position": [1, 1]}]}]})")));
}

} // namespace
} // namespace kova
