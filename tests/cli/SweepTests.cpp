#include "CliTestSupport.h"
#include "cli/ExperimentFile.h"
#include "foundations/OutputFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <regex>
#include <set>
#include <spawn.h>
#include <thread>

namespace kova::test {
namespace {

// A small flock: members placed at random and drawing their speeds and
// headings from the template, so that replicates differ.
const char* const kScene = R"({
  "settings": {"fps": 10},
  "space": {"width": 100, "height": 100},
  "groups": [{
    "name": "Flock",
    "template": {
      "combinationMethod": 1,
      "behaviours": [
        {"kind": "Cohesion", "weight": 1, "sensorRangeOn": true, "sensorRange": 30},
        {"kind": "Alignment", "weight": 2, "sensorRangeOn": true, "sensorRange": 20},
        {"kind": "Separation", "weight": 20, "sensorRangeOn": true, "sensorRange": 5}],
      "currentSpeed": {"base": 10, "difference": 50, "signMode": "+-"},
      "maxSpeed": 20, "minSpeed": 5, "maxForce": 10, "mass": 10, "diameter": 2,
      "orientation": {"base": 180, "difference": 100, "signMode": "+-"}},
    "randomMembers": {"rectangle": [20, 20, 80, 80], "count": 40}}]})";

// Writes the scene and the experiment into the folder; returns the
// experiment's path.
std::string WriteExperiment(const TempFolder& folder, const std::string& experiment) {
    WriteFile(folder / "scene.json", kScene);
    WriteFile(folder / "experiment.json", experiment);
    return (folder / "experiment.json").string();
}

// 2 x 3 combinations, 2 replicates: 12 runs.
const char* const kGrid = R"({
  "scene": "scene.json",
  "variables": [
    {"name": "alignment", "pointer": "/groups/0/template/behaviours/1/weight", "values": [0, 4]},
    {"name": "range", "pointer": "/groups/0/template/behaviours/1/sensorRange",
     "range": {"from": 10, "to": 20, "step": 5}}],
  "replicates": {"count": 2, "seed": 7},
  "until": "3:0",
  "measure": {"every": 2, "window": "1:0", "statistics": ["polarisation", "clusters"]}})";

struct ExperimentErrorCase {
    const char* Experiment;
    const char* Message; // after "<path>: "
};

// Each mistake is reported with its line and column and the field's path.
const ExperimentErrorCase kExperimentErrors[] = {
    {R"({"scene": "scene.json", "until": "1:0",
  "variables": [{"pointer": "/groups/0/template/behaviours/5/weight", "values": [1]}]})",
     "line 2, column 29: variables[0].pointer: the scene \"scene.json\" has no value at "
     "\"/groups/0/template/behaviours/5/weight\""},
    {R"({"scene": "scene.json", "until": "1:0",
  "variables": [{"pointer": "groups/0", "values": [1]}]})",
     "line 2, column 29: variables[0].pointer: \"groups/0\" is not a JSON Pointer "
     "(\"/groups/0/template/mass\")"},
    {R"({"scene": "scene.json", "until": "1:0",
  "variables": [{"pointer": "/space/width", "values": [100, true]}]})",
     "line 2, column 61: variables[0].values[1]: expected a number, as the scene's value at "
     "\"/space/width\" is one"},
    {R"({"scene": "scene.json", "until": "1:0",
  "variables": [{"pointer": "/space/width", "range": {"from": 5, "to": 1, "step": 1}}]})",
     "line 2, column 54: variables[0].range: the range is empty: a step of 1 never goes from 5 "
     "to 1"},
    {R"({"scene": "scene.json", "until": "1:0",
  "variables": [{"pointer": "/space/width", "values": []}]})",
     "line 2, column 55: variables[0].values: expected a list of at least one value"},
    {R"({"scene": "scene.json", "until": "1:0",
  "variables": [{"pointer": "/space/width"}]})",
     "line 2, column 17: variables[0]: expected either \"values\" or \"range\""},
    {R"({"scene": "scene.json", "until": "1:0",
  "variables": [{"pointer": "/groups/0/template/behaviours/0/weight", "values": [1, -1]}]})",
     "line 2, column 85: variables[0].values[1]: the scene does not build with -1 at "
     "\"/groups/0/template/behaviours/0/weight\": groups[0].template.behaviours[0].weight: "
     "expected an integer from 0 to 65535"},
    {R"({"scene": "missing.json", "until": "1:0"})",
     "line 1, column 11: scene: Cannot read \"<folder>/missing.json\": No such file or "
     "directory"},
    {R"({"until": "1:0"})", "line 1, column 1: \"scene\" is missing: the base scene's file"},
    {R"({"scene": "scene.json", "until": "1:0", "measure": {"statistics": ["polarization"]}})",
     "line 1, column 68: measure.statistics[0]: unknown statistic \"polarization\"; expected one "
     "of members, mean_speed, min_speed, max_speed, polarisation, milling, "
     "mean_nearest_neighbour_distance, clusters, centre_x, centre_y, radius_of_gyration"},
    {R"({"scene": "scene.json", "until": "1:0", "measure": {"groups": ["Herd"]}})",
     "line 1, column 64: measure.groups[0]: the scene has no group named \"Herd\""},
    {R"({"scene": "scene.json", "until": "1:0", "measure": {"every": 20, "window": "1:0"}})",
     "line 1, column 76: measure.window: the window is shorter than measure.every (20 frames) "
     "and would hold no measurement"},
    {R"({"scene": "scene.json", "until": "0:0"})",
     "line 1, column 34: until: the span holds no frame"},
    {R"({"scene": "scene.json", "until": 10})",
     "line 1, column 34: until: expected \"SEC:FRAME\", for example \"12:0\""},
    {R"({"scene": "scene.json", "until": "1:0", "replicates": {"count": 0}})",
     "line 1, column 65: replicates.count: expected a whole number from 1 to 10000000"},
    {R"({"scene": "scene.json", "until": "1:0", "outputs": {"video": "a.mp4"}})",
     "line 1, column 62: outputs.video: expected true or false"},
    {R"({"scene": "scene.json", "until": "1:0", "outputs": {"movie": true}})",
     "line 1, column 62: outputs.movie: unknown field; expected kmd, statistics, video"},
    {R"({"scene": "scene.json", "until": "1:0",})",
     "line 1, column 40: syntax error while parsing object key - unexpected '}'; expected "
     "string literal"},
};

TEST(Experiments, MistakesAreReportedWithTheirPlace) {
    TempFolder folder;
    for (const ExperimentErrorCase& error : kExperimentErrors) {
        SCOPED_TRACE(error.Experiment);
        const std::string path = WriteExperiment(folder, error.Experiment);
        std::string expected = path + ": " + error.Message;
        const std::size_t at = expected.find("<folder>");
        if (at != std::string::npos)
            expected.replace(at, 8, folder.Path().string());
        try {
            ReadExperiment(path, true);
            ADD_FAILURE() << "accepted";
        } catch (const EExperimentError& caught) {
            EXPECT_EQ(std::string(caught.what()), expected);
        }
    }
}

TEST(Experiments, RunsAreTheCrossProductTimesTheReplicates) {
    TempFolder folder;
    const TExperiment experiment = ReadExperiment(WriteExperiment(folder, kGrid), true);
    ASSERT_EQ(experiment.RunCount(), 12u);
    std::vector<std::string> rangeTexts;
    for (const TSceneJson& value : experiment.Variables[1].Values)
        rangeTexts.push_back(ValueText(value));
    EXPECT_EQ(rangeTexts, (std::vector<std::string>{"10", "15", "20"}));

    std::set<std::pair<std::size_t, std::size_t>> combinations;
    for (std::size_t run = 0; run < experiment.RunCount(); ++run) {
        const TRunPlan plan = PlanRun(experiment, run);
        SCOPED_TRACE(run);
        EXPECT_EQ(plan.Combination, run / 2);
        EXPECT_EQ(plan.Replicate, run % 2);
        // The last variable changes fastest.
        EXPECT_EQ(plan.ValueIndexes, (std::vector<std::size_t>{run / 6, run / 2 % 3}));
        combinations.emplace(plan.ValueIndexes[0], plan.ValueIndexes[1]);
        // The seed depends on the replicate alone.
        EXPECT_EQ(plan.Seed, PlanRun(experiment, run % 2).Seed);
        const TSceneJson scene = RunScene(experiment, plan);
        EXPECT_EQ(scene["randomSeed"], plan.Seed);
        EXPECT_EQ(scene["groups"][0]["template"]["behaviours"][1]["weight"],
                  experiment.Variables[0].Values[plan.ValueIndexes[0]]);
        EXPECT_EQ(scene["groups"][0]["template"]["behaviours"][1]["sensorRange"],
                  experiment.Variables[1].Values[plan.ValueIndexes[1]]);
    }
    EXPECT_EQ(combinations.size(), 6u);
    EXPECT_NE(PlanRun(experiment, 0).Seed, PlanRun(experiment, 1).Seed);
    EXPECT_NE(ReplicateSeed(7, 0), ReplicateSeed(8, 0));
}

TEST(Experiments, FractionalRangesGiveTheirDecimalSteps) {
    TempFolder folder;
    const TExperiment experiment =
        ReadExperiment(WriteExperiment(folder, R"({"scene": "scene.json", "until": "1:0",
          "variables": [{"pointer": "/space/width", "range": {"from": 100, "to": 100.3,
                                                              "step": 0.1}}]})"),
                       false);
    std::vector<std::string> texts;
    for (const TSceneJson& value : experiment.Variables[0].Values)
        texts.push_back(ValueText(value));
    EXPECT_EQ(texts, (std::vector<std::string>{"100", "100.1", "100.2", "100.3"}));
}

CliResult Sweep(const TempFolder& folder, const std::string& output,
                std::vector<std::string> options = {}) {
    std::vector<std::string> arguments = {"sweep", (folder / "experiment.json").string(), "-o",
                                          (folder / output).string()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return RunCli(folder, arguments);
}

std::vector<std::string> Column(const std::string& csv, std::size_t column) {
    std::vector<std::string> cells;
    for (const std::string& line : Lines(csv)) {
        std::istringstream row(line);
        std::string cell;
        for (std::size_t i = 0; i <= column; ++i)
            std::getline(row, cell, ',');
        cells.push_back(cell);
    }
    return cells;
}

TEST(Experiments, ResultsAreTheSameForAnyNumberOfJobs) {
    TempFolder folder;
    WriteExperiment(folder, kGrid);
    const CliResult one = Sweep(folder, "one", {"--jobs", "1"});
    ASSERT_EQ(one.Status, 0) << one.Err;
    const CliResult two = Sweep(folder, "two", {"--jobs", "2"});
    ASSERT_EQ(two.Status, 0) << two.Err;
    const std::string results = ReadFile(folder / "one" / "results.csv");
    EXPECT_EQ(ReadFile(folder / "two" / "results.csv"), results);
    EXPECT_EQ(ReadFile(folder / "two" / "summary.csv"), ReadFile(folder / "one" / "summary.csv"));

    const std::vector<std::string> lines = Lines(results);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "run,combination,alignment,range,replicate,seed,Flock.polarisation,"
                        "Flock.clusters");
    EXPECT_EQ(Lines(ReadFile(folder / "one" / "summary.csv")).size(), 7u);
    EXPECT_EQ(Lines(ReadFile(folder / "one" / "timings.csv")).size(), 13u);
    // Replicates differ from each other; the two replicates of the first
    // combination are runs 0 and 1.
    const std::vector<std::string> polarisation = Column(results, 6);
    EXPECT_NE(polarisation[1], polarisation[2]);
}

// A run's statistics and motion data are what "run --stats" and "export"
// write for the scene the run builds.
TEST(Experiments, PerRunOutputsAreThoseOfRunAndExport) {
    TempFolder folder;
    std::string experiment = kGrid;
    experiment.replace(
        experiment.rfind('}'), 1,
        R"(, "outputs": {"statistics": true, "kmd": {"group": "Flock", "every": 3}}})");
    const TExperiment read = ReadExperiment(WriteExperiment(folder, experiment), true);
    const CliResult swept = Sweep(folder, "out", {"--jobs", "2"});
    ASSERT_EQ(swept.Status, 0) << swept.Err;

    const std::size_t run = 5;
    WriteFile(folder / "run.json", WriteSceneText(RunScene(read, PlanRun(read, run))));
    ASSERT_EQ(
        RunCli(folder, {"build", (folder / "run.json").string(), (folder / "run.kvz").string()})
            .Status,
        0);
    const std::string kvz = (folder / "run.kvz").string();
    ASSERT_EQ(RunCli(folder, {"run", kvz, "--until", "3:0", "--stats",
                              (folder / "stats.csv").string(), "--every", "2"})
                  .Status,
              0);
    ASSERT_EQ(RunCli(folder, {"export", kvz, "--group", "Flock", "--until", "3:0", "--every", "3",
                              "-o", (folder / "motion.kmd").string()})
                  .Status,
              0);
    const auto runs = folder / "out" / "runs";
    EXPECT_EQ(ReadFile(runs / "run-000005-statistics.csv"), ReadFile(folder / "stats.csv"));
    EXPECT_EQ(ReadFile(runs / "run-000005.kmd"), ReadFile(folder / "motion.kmd"));
    EXPECT_NE(ReadFile(runs / "run-000005.kmd"), ReadFile(runs / "run-000004.kmd"));
}

// Videos are made by kova-render from the folder of kova-cli, from the
// run's simulation saved beside its results; here a stand-in that writes
// down what it was given.
TEST(Experiments, VideosAreMadeByTheRendererBesideTheProgram) {
    TempFolder folder;
    std::string experiment = kGrid;
    experiment.replace(experiment.rfind('}'), 1, R"(, "outputs": {"video": true}})");
    const TExperiment read = ReadExperiment(WriteExperiment(folder, experiment), false);
    std::filesystem::create_directory(folder / "bin");
    const auto program = folder / "bin" / "kova-cli";
    std::filesystem::copy_file(KOVA_CLI_PATH, program);
    const auto sweep = [&] {
        const std::string command = Quoted(program.string()) + " sweep " +
                                    Quoted((folder / "experiment.json").string()) + " -o " +
                                    Quoted((folder / "out").string()) + " --jobs 2 2>" +
                                    Quoted((folder / "err").string());
        return std::system(command.c_str());
    };

    EXPECT_NE(sweep(), 0);
    EXPECT_NE(ReadFile(folder / "err")
                  .find("experiment.json: line 9, column 110: outputs.video: videos are made by "
                        "kova-render, which is not beside kova-cli: \"" +
                        (folder / "bin" / "kova-render").string() + "\""),
              std::string::npos)
        << ReadFile(folder / "err");

    const auto renderer = folder / "bin" / "kova-render";
    WriteFile(renderer, "#!/bin/sh\n[ \"$2\" = --until ] && [ \"$4\" = --video ] || exit 3\n"
                        "printf '%s %s\\n' \"$1\" \"$3\" > \"$5\"\n");
    std::filesystem::permissions(renderer, std::filesystem::perms::owner_all);
    ASSERT_EQ(sweep(), 0) << ReadFile(folder / "err");
    const auto runs = folder / "out" / "runs";
    EXPECT_EQ(ReadFile(runs / "run-000005.mp4"), (runs / "run-000005.kvz").string() + " 3:0\n");
    WriteFile(folder / "run.json", WriteSceneText(RunScene(read, PlanRun(read, 5))));
    ASSERT_EQ(
        RunCli(folder, {"build", (folder / "run.json").string(), (folder / "run.kvz").string()})
            .Status,
        0);
    EXPECT_EQ(ReadFile(runs / "run-000005.kvz"), ReadFile(folder / "run.kvz"));
}

pid_t StartSweep(const TempFolder& folder, const std::string& output) {
    const std::string experiment = (folder / "experiment.json").string();
    const std::string dir = (folder / output).string();
    std::vector<const char*> argv = {
        KOVA_CLI_PATH, "sweep", experiment.c_str(), "-o", dir.c_str(), "--jobs", "1", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, KOVA_CLI_PATH, &actions, nullptr,
                                  const_cast<char* const*>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

std::size_t FileCount(const std::filesystem::path& folder, const std::string& suffix) {
    std::size_t count = 0;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        if (entry.path().string().ends_with(suffix))
            ++count;
    return count;
}

TEST(Experiments, AKilledSweepGoesOnWhereItStopped) {
    TempFolder folder;
    std::string experiment = kGrid;
    experiment.replace(experiment.find("\"3:0\""), 5, "\"60:0\"");
    WriteExperiment(folder, experiment);
    const CliResult whole = Sweep(folder, "whole", {"--jobs", "2"});
    ASSERT_EQ(whole.Status, 0) << whole.Err;

    const pid_t pid = StartSweep(folder, "killed");
    ASSERT_GT(pid, 0);
    const auto runs = folder / "killed" / "runs";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (FileCount(runs, ".json") < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    const std::size_t finished = FileCount(runs, ".json");
    ASSERT_GE(finished, 3u);
    ASSERT_LT(finished, 12u) << "the sweep ended before it was killed; make its runs longer";
    EXPECT_FALSE(std::filesystem::exists(folder / "killed" / "results.csv"));

    const CliResult resumed = Sweep(folder, "killed", {"--jobs", "2"});
    ASSERT_EQ(resumed.Status, 0) << resumed.Err;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(resumed.Err, match, std::regex(R"(\((\d+) of 12 already done)")))
        << resumed.Err;
    EXPECT_GE(std::stoul(match[1]), finished);
    EXPECT_EQ(ReadFile(folder / "killed" / "results.csv"),
              ReadFile(folder / "whole" / "results.csv"));
    EXPECT_EQ(FileCount(runs, kPartialFileSuffix), 0u);
}

TEST(Experiments, CollectListsTheMissingRuns) {
    TempFolder folder;
    WriteExperiment(folder, kGrid);
    ASSERT_EQ(Sweep(folder, "out", {"--jobs", "2"}).Status, 0);
    for (const std::size_t run : {3, 4, 9})
        std::filesystem::remove(folder / "out" / "runs" /
                                ("run-00000" + std::to_string(run) + ".json"));
    const CliResult collected = Sweep(folder, "out", {"--collect"});
    EXPECT_EQ(collected.Status, 1);
    EXPECT_NE(collected.Err.find("3 runs are missing: 3-4, 9"), std::string::npos) << collected.Err;
    EXPECT_EQ(Lines(ReadFile(folder / "out" / "results.csv")).size(), 10u);
    // Combination 1 (runs 2 and 3) is summarised from its one remaining run.
    const std::vector<std::string> summary = Lines(ReadFile(folder / "out" / "summary.csv"));
    ASSERT_GE(summary.size(), 3u);
    EXPECT_EQ(summary[2].rfind("1,0,15,1,", 0), 0u) << summary[2];
}

} // namespace
} // namespace kova::test
