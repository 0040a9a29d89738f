#pragma once

#include "cli/SceneText.h"

#include <memory>

namespace kova {

class TSimulation;

// A simulation as a JSON scene and back.
//
// The scene is an object with "settings", "space", "triggers", "groups" and
// "obstacles", holding every field that the simulation file stores, under the
// field's name in lower camel case ("pixelsPerMeter", "targetBugId").
// References are Ids: a template's or bug's "triggers", a behaviour's
// "targetBugId" and "obstacleIds".
//
// Value forms:
// - an 80-bit float is a JSON number in the shortest decimal that reads back
//   to the same bits ("0.1", "400", "1.00000000000000000002"); a value without
//   one is a string: "inf", "-inf", "nan", "-nan", or "x80:" and the 20 hex
//   digits of its ten file bytes;
// - a vector is [x, y]; a colour is red + green * 256 + blue * 65536;
// - a randomised value is {"base", "difference", "signMode", "apply"};
// - a name that is not valid UTF-8 is {"bytes": "<hex>"}.

// Every stored field of the simulation as it stands now; nothing is rewound,
// so a running simulation shows its current values. Ids are those of the
// objects; a behaviour's "targetBugId" is the Id its record would carry.
TSceneJson DumpSimulation(const TSimulation& simulation);

// Builds the simulation a scene describes, as loading a file with those
// records would give it: current values become start values and the clock is
// at 0 : 0. Fields left out take the values a new object gets from the
// program; see BuildSceneHelp() for the short forms. Objects without an "id"
// take Ids from the shared counter, which is first set to the highest Id the
// scene gives, so the same scene always builds the same simulation; the
// random generator is seeded with "randomSeed" (default 0) and put back
// afterwards. Throws ESceneError naming the field at fault.
std::unique_ptr<TSimulation> BuildSimulation(const TSceneJson& scene);

// The scene rules for the build command's help text.
const char* BuildSceneHelp();

} // namespace kova
