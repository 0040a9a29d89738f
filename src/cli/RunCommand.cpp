#include "analysis/GroupStatistics.h"
#include "analysis/StatisticsCsv.h"
#include "cli/Commands.h"
#include "cli/ExtendedText.h"
#include "cli/SceneJson.h"
#include "foundations/OutputFile.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"
#include "simulation/SimulationHost.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

namespace kova {

namespace {

struct TRunOptions {
    std::string File;
    std::string Until;
    std::string Trace;
    std::string State;
    std::string Stats;
    std::uint32_t Every = 1;
    double ClusterDistance = 0;
    unsigned Threads = 0;
};

// Writes, each time the bugs have stepped and while the clock still shows the
// time at which the frame started, one trace row per bug and, on the first
// frame and every `every`-th after it, one row of statistics per group.
class TRunRecorder : public ISimulationHost {
public:
    struct TOutputs {
        std::ostream* Trace = nullptr;
        std::ostream* Statistics = nullptr;
        std::uint32_t Every = 1;
        double ClusterDistance = 0;
    };

    TRunRecorder(const TSimulation& simulation, const TOutputs& outputs)
        : simulation_(simulation), trace_(outputs.Trace), statistics_(outputs.Statistics),
          every_(outputs.Every), clusterDistance_(outputs.ClusterDistance) {
        if (trace_ != nullptr)
            *trace_ << "second,frame,group,bug,id,x,y,vx,vy,orientation,speed\n";
        if (statistics_ != nullptr)
            WriteStatisticsHeader(*statistics_);
    }

    void BugsStepped() override {
        writeTrace();
        if (statistics_ != nullptr && framesSeen_++ % every_ == 0)
            writeStatistics();
    }

private:
    void writeStatistics() {
        for (const auto& group : simulation_.Groups)
            WriteStatisticsRow(*statistics_, simulation_.CurrentSecond, simulation_.CurrentFrame,
                               group->Name,
                               GroupStatisticValues(meter_.Measure(*group, clusterDistance_)));
    }

    void writeTrace() {
        if (trace_ == nullptr)
            return;
        const std::string time = std::to_string(simulation_.CurrentSecond) + "," +
                                 std::to_string(simulation_.CurrentFrame) + ",";
        for (const auto& group : simulation_.Groups) {
            const std::string groupName = CsvText(group->Name) + ",";
            for (const auto& bug : group->Members)
                *trace_ << time << groupName << CsvText(bug->Name) << ',' << bug->Id << ','
                        << ExactText(bug->Position[0]) << ',' << ExactText(bug->Position[1]) << ','
                        << ExactText(bug->Velocity[0]) << ',' << ExactText(bug->Velocity[1]) << ','
                        << ExactText(bug->Orientation()) << ',' << ExactText(bug->CurrentSpeed)
                        << '\n';
        }
    }

    const TSimulation& simulation_;
    std::ostream* trace_;
    std::ostream* statistics_;
    std::uint32_t every_;
    double clusterDistance_;
    std::uint64_t framesSeen_ = 0;
    TGroupMeter meter_;
};

void report(std::uint64_t frames, std::uint64_t bugSteps, std::chrono::duration<double> elapsed) {
    const double seconds = std::max(elapsed.count(), 1e-9);
    char line[256];
    std::snprintf(line, sizeof line,
                  "Ran %llu frames, %llu bug steps in %.3f s: %.1f frames/s, %.0f bug steps/s\n",
                  static_cast<unsigned long long>(frames),
                  static_cast<unsigned long long>(bugSteps), elapsed.count(),
                  static_cast<double>(frames) / seconds, static_cast<double>(bugSteps) / seconds);
    std::cerr << line;
}

// "Run" without a window: from 0:0 (as loaded), frame after frame with no
// delay and no drawing, for as many frames as the span takes.
int run(const TRunOptions& options) {
    std::vector<std::string> outputs;
    for (const std::string* output : {&options.Trace, &options.State, &options.Stats})
        if (!output->empty())
            outputs.push_back(*output);
    CheckOutputsAreDistinct({options.File}, outputs);
    // Opened before the run, so that an output that cannot be written stops
    // the command before the frames are spent.
    std::optional<TOutputFile> trace;
    std::optional<TOutputFile> state;
    std::optional<TOutputFile> statistics;
    if (!options.Trace.empty())
        trace.emplace(options.Trace);
    if (!options.State.empty())
        state.emplace(options.State);
    if (!options.Stats.empty())
        statistics.emplace(options.Stats);
    TSimulation simulation;
    OpenSimulationFile(simulation, options.File);
    simulation.SetThreads(ThreadsToUse(options.Threads));

    TRunRecorder host(simulation, {trace ? &trace->Stream() : nullptr,
                                   statistics ? &statistics->Stream() : nullptr, options.Every,
                                   options.ClusterDistance});
    simulation.SetHost(&host);

    const TClockTime until = ParseClockTime(options.Until);
    // Counted in frames rather than by watching the clock, which goes back to
    // 0:0 at the loop point and may never show the time asked for.
    const std::uint64_t frames = std::uint64_t{until.Second} * simulation.FPS + until.Frame;
    std::uint64_t bugCount = 0;
    for (const auto& group : simulation.Groups)
        bugCount += group->Members.size();

    const auto elapsed = RunFrames(simulation, frames);
    simulation.SetHost(nullptr);

    if (state)
        state->Stream() << WriteSceneText(DumpSimulation(simulation));
    TOutputFile::CommitAll({trace ? &*trace : nullptr, state ? &*state : nullptr,
                            statistics ? &*statistics : nullptr});
    report(frames, frames * bugCount, elapsed);
    return 0;
}

} // namespace

TCliCommand AddRunCommand(CLI::App& app) {
    auto options = std::make_shared<TRunOptions>();
    CLI::App* command = app.add_subcommand(
        "run", "Run a simulation from 0:0 without a window and report its speed");
    command->footer(
        "Runs the frame loop as \"Run\" does (triggers, loop point and all) with no delay and\n"
        "no drawing, for SEC * FPS + FRAME frames; FRAME may exceed FPS - 1. The frames are\n"
        "counted, not read off the clock, which the loop point turns back to 0:0. Frames per\n"
        "second and bug steps per second go to stderr, and progress too when stderr is a\n"
        "terminal. The trace holds one row per bug per frame with the values after the\n"
        "frame's step and the time at which the frame started:\n"
        "  second,frame,group,bug,id,x,y,vx,vy,orientation,speed\n"
        "Numbers are decimals that read back to the same 80-bit values (see \"build --help\").\n"
        "The statistics hold, for the first frame and every N-th after it, one row per group,\n"
        "measured at the same moment as the trace:\n"
        "  second,frame,group,members,mean_speed,min_speed,max_speed,polarisation,milling,\n"
        "  mean_nearest_neighbour_distance,clusters,centre_x,centre_y,radius_of_gyration\n"
        "polarisation = |sum of v/|v|| / n over the n members that move; milling =\n"
        "|sum of (r - c) x v/|v|| / sum of |r - c| over them, c the group's centre (1 for a\n"
        "ring circling its centre); distances are straight lines in the arena, not wrapped at\n"
        "its edges; two members closer than the cluster distance are in one cluster (default:\n"
        "the largest sensor range of the group's behaviours). These numbers are doubles in\n"
        "their shortest exact decimal form.\n"
        "Output files are replaced only once the run has completed; \"-\" is stdout.");
    command->add_option("FILE", options->File, "simulation file (.kvz)")
        ->required()
        ->type_name("FILE");
    command->add_option("--until", options->Until, "how long to run")
        ->required()
        ->type_name("SEC:FRAME")
        ->check(ClockTimeValidator());
    command->add_option("--trace", options->Trace, "CSV file of every bug in every frame")
        ->type_name("FILE");
    command
        ->add_option("--state", options->State,
                     "JSON scene of the simulation after the last frame, not rewound")
        ->type_name("FILE");
    command->add_option("--stats", options->Stats, "CSV file of each group's statistics")
        ->type_name("FILE");
    command
        ->add_option("--every", options->Every,
                     "statistics on the first frame and every N-th after it (default 1)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1000000000u));
    command
        ->add_option("--cluster-distance", options->ClusterDistance,
                     "members closer than this are in one cluster (default: per group, the "
                     "largest sensor range of its behaviours)")
        ->type_name("DISTANCE")
        ->check(CLI::Validator(
            [](const std::string& text) {
                const double value = std::strtod(text.c_str(), nullptr);
                return value > 0 && std::isfinite(value) ? std::string()
                                                         : "it must be a number above 0";
            },
            "DISTANCE > 0"));
    AddThreadsOption(command, options->Threads);
    return {command, [options] { return run(*options); },
            [options] { return QuotedPath(options->File); }};
}

} // namespace kova
