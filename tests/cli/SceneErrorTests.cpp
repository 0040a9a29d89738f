#include "CliTestSupport.h"
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
    {R"({"groups": [{"template": {"behaviours": [{"kind": 99}]}}]})",
     "groups[0].template.behaviours[0].kind: expected a behaviour kind from 0 to 8 or its name "
     "(\"Seek\", ...)"},
    {R"({"triggers": [{"template": {"behaviours": [{}, {"kind": 9}]}}]})",
     "triggers[0].template.behaviours[1].kind: expected a behaviour kind from 0 to 8 or its name "
     "(\"Seek\", ...)"},
    {R"({"groups": [{"members": [{"behaviours": [{"kind": -1}]}]}]})",
     "groups[0].members[0].behaviours[0].kind: expected a behaviour kind from 0 to 8 or its name "
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
    {R"({"obstacles": [{}, {"kind": 256}]})",
     "obstacles[1].kind: expected an obstacle kind from 0 to 255 (0 a circle, 1 a line), "
     "\"circle\" or \"line\""},
    // Triggers, members and obstacles share one table of Ids in the file, in
    // that order: the later object is named first.
    {R"({"obstacles": [{"id": 5}], "groups": [{"members": [[1, 1], [2, 2], {"id": 5}]}]})",
     "obstacles[0].id: Id 5 is already the Id of groups[0].members[2]"},
    {R"({"groups": [{"members": [{"id": 5}]}], "triggers": [{"id": 5}]})",
     "groups[0].members[0].id: Id 5 is already the Id of triggers[0]"},
    {R"({"triggers": [{"id": 3}, {"id": 4}], "obstacles": [{"id": 4}]})",
     "obstacles[0].id: Id 4 is already the Id of triggers[1]"},
    {R"({"triggers": [{"id": 3}, {"id": 3}]})",
     "triggers[1].id: Id 3 is already the Id of triggers[0]"},
    {R"({"groups": [{"members": [{"id": 7}]}, {"members": [[1, 1], {"id": 7}]}]})",
     "groups[1].members[1].id: Id 7 is already the Id of groups[0].members[0]"},
    // Past the highest Id the counter wraps round to the lowest.
    {R"({"settings": {"id": 2147483647}, "triggers": [{"id": -2147483647}], "obstacles": [{}],
         "groups": [{"template": {"behaviours": [{"obstacleIds": [-2147483647]}]}}]})",
     "obstacles[0]: Id -2147483647 is already the Id of triggers[0]"},
    {R"({"obstacles": [{"id": 8}, {"id": 8}]})",
     "obstacles[1].id: Id 8 is already the Id of obstacles[0]"},
    {R"({"groups": [{"members": [{"shape": {"size": 5}}]}]})",
     "groups[0].members[0].shape.size: expected an array of two numbers"},
    {R"({"groups": [{"name": {"bytes": "4g"}}]})", "groups[0].name: expected a string"},
    {R"({"groups": [{"name": {"bytes": "414"}}]})", "groups[0].name: expected a string"},
    {R"({"randomSeed": -1})", "randomSeed: expected an integer from 0 to 4294967295"},
    {R"({"groups": [{"randomMembers": {"count": 3}}]})",
     "groups[0].randomMembers.rectangle: expected [x1, y1, x2, y2]"},
    {R"({"groups": [{"randomMembers": {"rectangle": [0, 0, 1]}}]})",
     "groups[0].randomMembers.rectangle: expected [x1, y1, x2, y2]"},
    {R"({"groups": [{"randomMembers": {"rectangle": [0, 0, 1, 1]}}]})",
     "groups[0].randomMembers.count: expected the number of members"},
    {R"({"groups": [{"randomMembers": {"rectangle": [0, 0, "x", 1], "count": 1}}]})",
     "groups[0].randomMembers.rectangle[2]: expected a number"},
    {R"({"groups": [{"randomMembers": {"rectangle": [0, 0, 1, 1], "count": -2}}]})",
     "groups[0].randomMembers.count: expected an integer from 0 to 100000000"},
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

std::string Repeated(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += piece;
    return text;
}

// Text that cannot be read as a scene is refused with its line and column and
// a message that begins as given.
TEST(SceneErrors, TextThatCannotBeReadGivesLineAndColumn) {
    const std::string deep = Repeated("[", 200000) + Repeated("]", 200000);
    const std::pair<std::string, std::string> cases[] = {
        {"{\n  \"settings\": {,}\n}", "line 2, column 16: syntax error"},
        // Deep enough to overflow the stack of anything that walks the tree
        // recursively, even in a comment; the 257th level is at fault.
        {"{\"_\": 1,\n \"__\": " + deep + "}",
         "line 2, column 263: the scene is nested deeper than 256 levels"},
        {"{\"_\": \"[{\\\"\",\n \"__\": " + Repeated("{\"a\": ", 300) + "}",
         "line 2, column 1538: the scene is nested deeper than 256 levels"},
        {"{\n  \"space\": {\n    \"width\": 1e5000\n  }\n}",
         "line 3, column 14: the number 1e5000 is too large"},
        {"{\"space\": {\"height\": 2, \"width\": -1.5E+5000}}",
         "line 1, column 34: the number -1.5E+5000 is too large"},
        {"[\"1e5000\", 1" + Repeated("0", 5000) + "]",
         "line 1, column 12: the number 100000000000000000000000000000... (5001 characters) is "
         "too large"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(expected);
        try {
            BuildSimulation(ParseSceneText(text));
            ADD_FAILURE() << "accepted";
        } catch (const ESceneError& caught) {
            const std::string message = caught.what();
            EXPECT_EQ(message.substr(0, expected.size()), expected);
            EXPECT_EQ(message.find('\n'), std::string::npos);
        }
    }
    // At the limit, counting no bracket inside a string: 256 levels are read.
    const std::string atTheLimit =
        "{\"_\": \"[{[\", \"__\": " + Repeated("[", 255) + Repeated("]", 255) + "}";
    EXPECT_EQ(ParseSceneText(atTheLimit)["__"].size(), 1U);
    test::BuildLoadable(atTheLimit);
}

TEST(SceneErrors, CommentKeysAreAllowedEverywhere) {
    EXPECT_NO_THROW(test::BuildLoadable(
        R"({"_about": "x", "groups": [{"_note": 1, "template": {"_why": [], "mass": {"_": 0}},
            "members": [{"_who": "me", "position": [1, 1]}]}]})"));
}

} // namespace
} // namespace kova
