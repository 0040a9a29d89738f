#include "CliTestSupport.h"
#include "cli/ExtendedText.h"
#include "cli/SceneText.h"
#include "simulation/MotionData.h"

#include <cmath>
#include <sstream>

namespace kova::test {
namespace {

const char* kBadScene = R"({"groups": [{"members": [{"position": [1, "x", 3]}]}]})";

TEST(CliRoundTrip, BuildOfTheDumpGivesEveryExampleBackByteForByte) {
    TempFolder folder;
    for (const std::string& name : ExampleNames()) {
        SCOPED_TRACE(name);
        const std::string example = ExamplePath(name + ".kvz");
        const CliResult dump = RunCli(folder, {"dump", example});
        ASSERT_EQ(dump.Status, 0) << dump.Err;
        EXPECT_EQ(dump.Err, "");
        WriteFile(folder / "scene.json", dump.Out);
        const CliResult build = RunCli(
            folder, {"build", (folder / "scene.json").string(), (folder / "out.kvz").string()});
        ASSERT_EQ(build.Status, 0) << build.Err;
        EXPECT_EQ(ReadFile(folder / "out.kvz"), ReadFile(example));
    }
}

TEST(CliRoundTrip, CommittedExamplesAreThoseTheirScenesBuild) {
    TempFolder folder;
    for (const std::string& name : ExampleNames()) {
        SCOPED_TRACE(name + " (rebuild it with the kova_update_examples target)");
        const CliResult build = RunCli(folder, {"build", ExamplePath("scenes/" + name + ".json"),
                                                (folder / "example.kvz").string()});
        ASSERT_EQ(build.Status, 0) << build.Err;
        EXPECT_EQ(ReadFile(folder / "example.kvz"), ReadFile(ExamplePath(name + ".kvz")));
    }
}

TEST(CliErrors, AFailureIsOneLineWithStatusOneAndLeavesNoFile) {
    TempFolder folder;
    WriteFile(folder / "bad.json", kBadScene);
    const CliResult build =
        RunCli(folder, {"build", (folder / "bad.json").string(), (folder / "out.kvz").string()});
    EXPECT_EQ(build.Status, 1);
    EXPECT_EQ(build.Err, "kova-cli: " + (folder / "bad.json").string() +
                             ": groups[0].members[0].position: expected an array of two numbers\n");
    EXPECT_EQ(folder.Files(), std::vector<std::string>{"bad.json"});

    const CliResult missing = RunCli(folder, {"dump", (folder / "none.kvz").string()});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_EQ(Lines(missing.Err).size(), 1U);
    EXPECT_EQ(missing.Err.rfind("kova-cli: ", 0), 0U);
    EXPECT_EQ(missing.Out, "");

    // A scene file that is not a simulation.
    const CliResult notKvz =
        RunCli(folder, {"run", (folder / "bad.json").string(), "--until", "1:0"});
    EXPECT_EQ(notKvz.Status, 1);
    EXPECT_EQ(Lines(notKvz.Err).size(), 1U);

    const std::string example = ExamplePath("triggers.kvz");
    const CliResult noGroup = RunCli(folder, {"export", example, "--group", "Nobody", "--until",
                                              "1:0", "-o", (folder / "out.kmd").string()});
    EXPECT_EQ(noGroup.Status, 1);
    EXPECT_EQ(noGroup.Err, "kova-cli: No group named \"Nobody\" in \"" + example + "\"\n");

    const CliResult noFolder = RunCli(folder, {"export", example, "--group", "Swarm", "--until",
                                               "1:0", "-o", (folder / "no/out.kmd").string()});
    EXPECT_EQ(noFolder.Status, 1);

    // The state cannot be written, so the trace is not left behind either.
    const CliResult noState =
        RunCli(folder, {"run", example, "--until", "0:5", "--trace", (folder / "t.csv").string(),
                        "--state", (folder / "no/state.json").string()});
    EXPECT_EQ(noState.Status, 1);
    EXPECT_EQ(folder.Files(), std::vector<std::string>{"bad.json"});
}

TEST(CliErrors, ABuildThatFailsKeepsTheFileItWouldReplace) {
    TempFolder folder;
    WriteFile(folder / "bad.json", kBadScene);
    WriteFile(folder / "out.kvz", "previous");
    EXPECT_EQ(
        RunCli(folder, {"build", (folder / "bad.json").string(), (folder / "out.kvz").string()})
            .Status,
        1);
    EXPECT_EQ(ReadFile(folder / "out.kvz"), "previous");
    EXPECT_EQ(folder.Files(), (std::vector<std::string>{"bad.json", "out.kvz"}));
}

TEST(CliErrors, WrongCommandLinesExitWithTwo) {
    TempFolder folder;
    const std::string example = ExamplePath("triggers.kvz");
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"frobnicate"},
        {"dump"},
        {"dump", example, "extra"},
        {"build", "only-one.json"},
        {"run", example},
        {"run", example, "--until", "3"},
        {"run", example, "--until", "3:x"},
        {"run", example, "--until", "-1:0"},
        {"run", example, "--until", "1:0", "--speed", "2"},
        {"run", example, "--until", "1:0", "--stats", "-", "--every", "0"},
        {"run", example, "--until", "1:0", "--stats", "-", "--cluster-distance", "0"},
        {"export", example, "--until", "1:0"},
        {"export", example, "--group", "Swarm", "--until", "1:0", "--every", "0"},
        {"export", example, "--group", "Swarm", "--until", "1:0", "--every", "101"},
        {"export", example, "--group", "Swarm", "--until", "1:0", "--decimal-separator", "ab"},
        {"sweep", "e.json"},
        {"sweep", "e.json", "-o", "out", "--jobs", "0"},
        {"sweep", "e.json", "-o", "out", "--submit"},
        {"sweep", "e.json", "-o", "out", "--slurm", "--collect"},
        {"bench", "--bugs", "10"},
        {"bench", "--workload", "swarm", "--bugs", "10"},
        {"bench", "--workload", "flock", "--bugs", "0"},
        {"bench", "--workload", "flock", "--bugs", "10", "--frames", "0"},
    };
    for (const auto& arguments : wrong) {
        std::string shown;
        for (const std::string& a : arguments)
            shown += a + " ";
        SCOPED_TRACE(shown);
        const CliResult result = RunCli(folder, arguments);
        EXPECT_EQ(result.Status, 2);
        EXPECT_NE(result.Err, "");
    }
    EXPECT_TRUE(folder.Files().empty());
}

TEST(CliHelp, EverySubcommandExplainsItself) {
    TempFolder folder;
    const std::vector<std::pair<std::string, std::string>> commands = {
        {"dump", "FILE"},
        {"build", "randomSeed"},
        {"export", "--decimal-separator"},
        {"run", "--trace"},
        {"sweep", "file system every node shares"},
        {"bench", "--direct"}};
    for (const auto& [command, mentioned] : commands) {
        SCOPED_TRACE(command);
        const CliResult help = RunCli(folder, {command, "--help"});
        EXPECT_EQ(help.Status, 0);
        EXPECT_NE(help.Out.find("Usage"), std::string::npos);
        EXPECT_NE(help.Out.find(mentioned), std::string::npos);
    }
    const CliResult overview = RunCli(folder, {"--help"});
    EXPECT_EQ(overview.Status, 0);
    for (const char* command : {"dump", "build", "export", "run", "sweep", "bench"})
        EXPECT_NE(overview.Out.find(command), std::string::npos) << command;
}

// The kmd text that the motion data model writes for the same recording.
std::string ModelKmd(const std::string& file, const std::string& groupName, TMotionSpan span,
                     int every, char separator) {
    TSimulation simulation;
    OpenSimulationFile(simulation, file);
    TBugGroup* group = nullptr;
    for (const auto& candidate : simulation.Groups)
        if (candidate->Name == groupName && group == nullptr)
            group = candidate.get();
    const std::uint32_t last = SpanLastFrame(span, simulation.FPS);
    TMotionTable table;
    table.Prepare(group, simulation.FPS, last);
    table.Record(simulation, *group, last, separator);
    table.Shrink(every);
    std::ostringstream out;
    table.WriteKmd(out);
    return out.str();
}

TEST(CliExport, WritesWhatTheMotionDataWriterWrites) {
    TempFolder folder;
    const std::string example = ExamplePath("obstacle-course.kvz");
    const std::string expected = ModelKmd(example, "Runners", {2, 10}, 3, ',');
    const CliResult toStdout = RunCli(folder, {"export", example, "--group", "Runners", "--until",
                                               "2:10", "--every", "3", "--decimal-separator", ","});
    ASSERT_EQ(toStdout.Status, 0) << toStdout.Err;
    EXPECT_EQ(toStdout.Out, expected);
    EXPECT_EQ(toStdout.Err, "") << "no progress when stderr is not a terminal";

    const CliResult toFile =
        RunCli(folder, {"export", example, "--group", "Runners", "--until", "2:10", "--every", "3",
                        "--decimal-separator", ",", "-o", (folder / "runners.kmd").string()});
    ASSERT_EQ(toFile.Status, 0) << toFile.Err;
    EXPECT_EQ(toFile.Out, "");
    EXPECT_EQ(ReadFile(folder / "runners.kmd"), expected);

    // 60 members, frames 0 .. 60 thinned to every third: 0, 2, 5, ..., 59, 60.
    const std::vector<std::string> lines = Lines(expected);
    EXPECT_EQ(lines.front(), "Runners;60;\r");
    EXPECT_EQ(lines[1], "Runner_0;22;0;60;\r");
    EXPECT_EQ(lines.size(), 1U + 60U * (1U + 22U));
}

TEST(CliExport, LowersAFrameAboveTheFrameRateAndDefaultsToEveryFrame) {
    TempFolder folder;
    const std::string example = ExamplePath("triggers.kvz");
    const CliResult result =
        RunCli(folder, {"export", example, "--group", "Swarm", "--until", "0:99"});
    ASSERT_EQ(result.Status, 0) << result.Err;
    EXPECT_EQ(result.Out, ModelKmd(example, "Swarm", {0, 24}, 1, '.'));
    EXPECT_EQ(Lines(result.Out)[1], "Bee_0;25;0;24;\r");
}

TEST(CliRun, TracesEveryBugInEveryFrameAndReportsItsSpeed) {
    TempFolder folder;
    const std::string example = ExamplePath("triggers.kvz"); // 50 bugs, 25 frames a second
    const CliResult result =
        RunCli(folder, {"run", example, "--until", "1:5", "--trace", (folder / "t.csv").string(),
                        "--state", (folder / "s.json").string()});
    ASSERT_EQ(result.Status, 0) << result.Err;
    EXPECT_EQ(result.Out, "");
    ASSERT_EQ(Lines(result.Err).size(), 1U) << result.Err;
    EXPECT_EQ(result.Err.rfind("Ran 30 frames, 1500 bug steps in ", 0), 0U) << result.Err;
    EXPECT_NE(result.Err.find("frames/s"), std::string::npos);
    EXPECT_NE(result.Err.find("bug steps/s"), std::string::npos);

    const std::vector<std::string> trace = Lines(ReadFile(folder / "t.csv"));
    ASSERT_EQ(trace.size(), 1U + 30U * 50U);
    EXPECT_EQ(trace[0], "second,frame,group,bug,id,x,y,vx,vy,orientation,speed");
    EXPECT_EQ(trace[1].rfind("0,0,Swarm,Bee_0,", 0), 0U) << trace[1];
    EXPECT_EQ(trace[50].rfind("0,0,Swarm,Bee_49,", 0), 0U) << trace[50];
    EXPECT_EQ(trace[51].rfind("0,1,Swarm,Bee_0,", 0), 0U) << trace[51];
    EXPECT_EQ(trace.back().rfind("1,4,Swarm,Bee_49,", 0), 0U) << trace.back();

    // The state is the simulation after the last frame, not rewound; its last
    // bug stands where the last trace row put it.
    const TSceneJson state = ParseSceneText(ReadFile(folder / "s.json"));
    EXPECT_EQ(state["settings"]["currentSecond"], 1);
    EXPECT_EQ(state["settings"]["currentFrame"], 5);
    const TSceneJson& last = state["groups"][0]["members"][49];
    std::vector<std::string> cells;
    std::istringstream row(trace.back());
    for (std::string cell; std::getline(row, cell, ',');)
        cells.push_back(cell);
    ASSERT_EQ(cells.size(), 11U);
    EXPECT_EQ(cells[4], std::to_string(last["id"].get<int>()));
    EXPECT_EQ(cells[5], ExactText(last["position"][0].get<long double>()));
    EXPECT_EQ(cells[6], ExactText(last["position"][1].get<long double>()));
    EXPECT_EQ(cells[10], ExactText(last["currentSpeed"].get<long double>()));
}

TEST(CliRun, StatisticsOfEveryNthFrameAgreeWithTheTraceOfThatFrame) {
    TempFolder folder;
    const std::string example = ExamplePath("triggers.kvz"); // 50 bugs, 25 frames a second
    const CliResult result =
        RunCli(folder, {"run", example, "--until", "1:5", "--stats", "-", "--every", "10",
                        "--trace", (folder / "t.csv").string()});
    ASSERT_EQ(result.Status, 0) << result.Err;
    const std::vector<std::string> rows = Lines(result.Out);
    ASSERT_EQ(rows.size(), 4U) << result.Out;
    EXPECT_EQ(rows[0], "second,frame,group,members,mean_speed,min_speed,max_speed,polarisation,"
                       "milling,mean_nearest_neighbour_distance,clusters,centre_x,centre_y,"
                       "radius_of_gyration");
    auto cells = [](const std::string& line) {
        std::vector<std::string> split;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, ',');)
            split.push_back(cell);
        return split;
    };
    const std::vector<std::string> trace = Lines(ReadFile(folder / "t.csv"));
    for (int recorded = 0; recorded < 3; ++recorded) {
        const std::vector<std::string> row = cells(rows[1 + recorded]);
        ASSERT_EQ(row.size(), 14U) << rows[1 + recorded];
        EXPECT_EQ(row[0] + "," + row[1], "0," + std::to_string(10 * recorded));
        EXPECT_EQ(row[2], "Swarm");
        EXPECT_EQ(row[3], "50");
        // The centre is the mean of the positions the trace shows at that frame.
        double x = 0;
        double y = 0;
        for (int bug = 0; bug < 50; ++bug) {
            const std::vector<std::string> traced = cells(trace[1 + 10 * recorded * 50 + bug]);
            x += std::stod(traced[5]) / 50;
            y += std::stod(traced[6]) / 50;
        }
        EXPECT_NEAR(std::stod(row[11]), x, 1e-9 * std::abs(x));
        EXPECT_NEAR(std::stod(row[12]), y, 1e-9 * std::abs(y));
    }
}

TEST(CliRun, CountsFramesThroughTheLoopPoint) {
    // The example loops at 8:0: frame 200 ends with the clock back at 0:0, and
    // a run to 8:1 takes 201 frames, the last starting at 0:0 again.
    TempFolder folder;
    const CliResult result = RunCli(folder, {"run", ExamplePath("triggers.kvz"), "--until", "8:1",
                                             "--trace", (folder / "t.csv").string()});
    ASSERT_EQ(result.Status, 0) << result.Err;
    const std::vector<std::string> trace = Lines(ReadFile(folder / "t.csv"));
    ASSERT_EQ(trace.size(), 1U + 201U * 50U);
    EXPECT_EQ(trace[1 + 199 * 50].rfind("7,24,", 0), 0U);
    EXPECT_EQ(trace.back().rfind("0,0,", 0), 0U);
}

TEST(CliBench, ReportsTimeSpeedAndMemoryForBothSearchPaths) {
    TempFolder folder;
    const std::vector<std::vector<std::string>> runs = {
        {"bench", "--workload", "flock", "--bugs", "200", "--frames", "3", "--threads", "2"},
        {"bench", "--workload", "flock", "--bugs", "200", "--frames", "3", "--direct", "--threads",
         "1"},
        {"bench", "--workload", "obstacles", "--bugs", "50", "--obstacles", "20", "--frames", "2",
         "--threads", "1"},
        {"bench", "--workload", "flock", "--bugs", "200", "--seekers", "5", "--frames", "3",
         "--threads", "2"},
    };
    const std::vector<std::string> firstLines = {
        "workload: flock, 200 bugs, 3 frames, indexed search, 2 threads",
        "workload: flock, 200 bugs, 3 frames, direct search, 1 threads",
        "workload: obstacles, 50 bugs, 20 obstacles, 2 frames, indexed search, 1 threads",
        "workload: flock, 200 bugs, 5 seekers, 3 frames, indexed search, 2 threads",
    };
    std::vector<std::string> digests;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE(firstLines[i]);
        const CliResult result = RunCli(folder, runs[i]);
        ASSERT_EQ(result.Status, 0) << result.Err;
        const std::vector<std::string> lines = Lines(result.Out);
        ASSERT_EQ(lines.size(), 9U) << result.Out;
        EXPECT_EQ(lines[0], firstLines[i]);
        EXPECT_EQ(lines[1].rfind("time per frame: ", 0), 0U) << lines[1];
        EXPECT_EQ(lines[2].rfind("time per bug-step: ", 0), 0U) << lines[2];
        EXPECT_EQ(lines[3].rfind("processor time per bug-step: ", 0), 0U) << lines[3];
        EXPECT_EQ(lines[4].rfind("frames per second: ", 0), 0U) << lines[4];
        EXPECT_EQ(lines[5].rfind("peak resident memory: ", 0), 0U) << lines[5];
        // The program itself takes more than a megabyte, so the peak is real.
        const double megabytes = std::stod(lines[5].substr(22));
        EXPECT_GT(megabytes, 1.0) << lines[5];
        EXPECT_GT(std::stod(lines[1].substr(16)), 0.0) << lines[1];
        EXPECT_EQ(lines[6].rfind("frames stepped on several threads: ", 0), 0U) << lines[6];
        EXPECT_EQ(lines[7].rfind("members in flight: ", 0), 0U) << lines[7];
        EXPECT_EQ(lines[8].rfind("state digest: ", 0), 0U) << lines[8];
        digests.push_back(lines[8]);
    }
    // Neither the index nor the threads change the results; the seekers do.
    EXPECT_EQ(digests[0], digests[1]);
    EXPECT_NE(digests[0], digests[3]);
    EXPECT_TRUE(folder.Files().empty());
}

} // namespace
} // namespace kova::test

// --- the streamed export -------------------------------------------------------

namespace kova::test {
namespace {

TEST(CliExportStreamed, EveryGroupOfEveryExampleGivesTheMotionTablesBytes) {
    TempFolder folder;
    const std::string output = (folder / "motion.kmd").string();
    for (const std::string& name : ExampleNames()) {
        const std::string example = ExamplePath(name + ".kvz");
        TSimulation simulation;
        OpenSimulationFile(simulation, example);
        for (const auto& group : simulation.Groups) {
            SCOPED_TRACE(name + ", " + group->Name);
            const CliResult result =
                RunCli(folder, {"export", example, "--group", group->Name, "--until", "3:7",
                                "--every", "4", "-o", output});
            ASSERT_EQ(result.Status, 0) << result.Err;
            EXPECT_EQ(ReadFile(output), ModelKmd(example, group->Name, {3, 7}, 4, '.'));
        }
    }
    EXPECT_EQ(folder.Files(), std::vector<std::string>{"motion.kmd"});
}

} // namespace
} // namespace kova::test
