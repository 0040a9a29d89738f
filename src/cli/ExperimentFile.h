#pragma once

#include "cli/CliSupport.h"
#include "cli/SceneText.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kova {

class TSimulation;

// An experiment: a base scene, values swept through JSON Pointers into it,
// replicates with seeds of their own, and what to measure in each run.
//
//   {"scene": "../scenes/flock.json",
//    "variables": [{"name": "alignment",
//                   "pointer": "/groups/0/template/behaviours/1/weight",
//                   "values": [0, 1, 2]},
//                  {"pointer": "/space/width",
//                   "range": {"from": 300, "to": 500, "step": 100}}],
//    "replicates": {"count": 4, "seed": 1},
//    "until": "20:0",
//    "measure": {"every": 5, "window": "5:0", "statistics": ["polarisation"],
//                "groups": ["Flock"], "clusterDistance": 30},
//    "outputs": {"statistics": true, "kmd": {"group": "Flock", "every": 1},
//                "video": true}}
//
// Runs are numbered combination * replicates + replicate; combinations run
// through the cross product of the variables' values, the last variable
// changing fastest.

// The experiment file is wrong; the message names the file, the line and
// column in it and the field: "x.json: line 4, column 18: variables[0].pointer:
// ...".
class EExperimentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TSweepVariable {
    // The column of the results; the pointer when the file gives no name.
    std::string Name;
    std::string Pointer;
    std::vector<TSceneJson> Values;
};

struct TExperiment {
    std::string File;
    // The base scene as the file names it, and resolved against the
    // experiment's folder.
    std::string SceneName;
    std::string ScenePath;
    // The base scene; a .kvz file is dumped to this form.
    TSceneJson Scene;
    std::vector<TSweepVariable> Variables;
    std::uint32_t Replicates = 1;
    std::uint32_t BaseSeed = 0;
    TClockTime Until;
    // Measured on a run's first frame and every Every-th after it.
    std::uint32_t Every = 1;
    // The results are the mean of the measurements in this last part of the
    // span; without it, the values after the last frame.
    std::optional<TClockTime> Window;
    // Indexes into GroupStatisticNames().
    std::vector<std::size_t> Statistics;
    // Names of the groups measured; empty: every group.
    std::vector<std::string> Groups;
    double ClusterDistance = 0;
    // Per-run outputs beside the run's results.
    bool StatisticsOutput = false;
    std::string KmdGroup;
    int KmdEvery = 1;
    // A video of each run's span, made by kova-render beside this program.
    bool Video = false;
    // Changes whenever the experiment file or the base scene file changes, so
    // that results of an earlier version are not taken for this one's.
    std::string Fingerprint;
    // "line L, column C" of each field, by its path ("variables[0].pointer").
    std::map<std::string, std::string> Places;

    std::size_t CombinationCount() const;
    std::size_t RunCount() const { return CombinationCount() * Replicates; }

    // Throws EExperimentError for the field at `path`.
    [[noreturn]] void Fail(const std::string& path, const std::string& what) const;
};

// Where one run stands in the experiment.
struct TRunPlan {
    std::size_t Run = 0;
    std::size_t Combination = 0;
    std::uint32_t Replicate = 0;
    std::uint32_t Seed = 0;
    // Per variable, the index of its value.
    std::vector<std::size_t> ValueIndexes;
};

TRunPlan PlanRun(const TExperiment& experiment, std::size_t run);

// The seed of replicate r: the upper 32 bits of SplitMix64's mix of
// baseSeed * 2^32 + r. It depends on the base seed and the replicate only, so
// replicate r of every combination starts from the same random sequence.
std::uint32_t ReplicateSeed(std::uint32_t baseSeed, std::uint32_t replicate);

// Reads and checks the experiment and its base scene. With checkEveryRun,
// every value of every variable and every combination is built (not run), so
// that a value the scene refuses is reported with its place before anything
// runs. Throws EExperimentError.
TExperiment ReadExperiment(const std::string& path, bool checkEveryRun);

// The scene of one run: the base scene with the run's values and its seed as
// "randomSeed".
TSceneJson RunScene(const TExperiment& experiment, const TRunPlan& plan);

// A swept value as a CSV cell: numbers in their exact decimal text, strings
// as they are, anything else as compact JSON.
std::string ValueText(const TSceneJson& value);

// The frames of a span at `fps` frames a second.
std::uint64_t SpanFrames(const TClockTime& span, std::uint8_t fps);

// The groups a run measures, as indexes into the simulation's groups, and
// the results' column of each measure ("<group>.<statistic>"), with the
// checks that the simulation can be run as the experiment asks. Throws
// EExperimentError.
struct TMeasureLayout {
    std::vector<std::size_t> Groups;
    std::vector<std::string> Columns;
    std::uint64_t Frames = 0;
    std::uint64_t WindowFrames = 0;
};
TMeasureLayout LayOutMeasures(const TExperiment& experiment, const TSimulation& simulation);

} // namespace kova
