#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "simulation/Simulation.h"
#include "simulation/Workloads.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>

namespace kova {

namespace {

struct TBenchOptions {
    std::string Workload = "flock"; // or "obstacles"
    int Bugs = 10000;
    int Obstacles = 1000;
    int Seekers = 0;
    int Frames = 100;
    bool Direct = false;
    unsigned Threads = 0;
};

// The largest resident size the process has had, in bytes.
double peakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0; // Linux reports kilobytes
}

// The processor time the process has used, in all its threads, in seconds.
// On a shared machine it varies less than the time on the clock.
double processorSeconds() {
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

int bench(const TBenchOptions& options) {
    TSimulation simulation;
    TWorkloadOptions workload;
    workload.Bugs = options.Bugs;
    workload.Obstacles = options.Obstacles;
    workload.Seekers = options.Seekers;
    const bool flock = options.Workload == "flock";
    if (flock)
        BuildFlockWorkload(simulation, workload);
    else
        BuildObstacleWorkload(simulation, workload);
    simulation.UseSpatialIndex = !options.Direct;
    simulation.SetThreads(ThreadsToUse(options.Threads));
    const double processorBefore = processorSeconds();
    const auto elapsed = RunFrames(simulation, static_cast<std::uint64_t>(options.Frames));
    const double processor = processorSeconds() - processorBefore;

    const double seconds = std::max(std::chrono::duration<double>(elapsed).count(), 1e-9);
    const double bugSteps = static_cast<double>(options.Bugs) * options.Frames;
    const double peak = peakResidentBytes();
    std::string scene =
        (flock ? "flock, " : "obstacles, ") + std::to_string(options.Bugs) + " bugs";
    if (flock && options.Seekers > 0)
        scene += ", " + std::to_string(std::min(options.Seekers, options.Bugs)) + " seekers";
    if (!flock)
        scene += ", " + std::to_string(options.Obstacles) + " obstacles";
    const TConcurrency& concurrency = simulation.Stepper().Concurrency();
    char text[768];
    std::snprintf(
        text, sizeof text,
        "workload: %s, %d frames, %s search, %u threads\n"
        "time per frame: %.3f ms\n"
        "time per bug-step: %.1f ns\n"
        "processor time per bug-step: %.1f ns\n"
        "frames per second: %.1f\n"
        "peak resident memory: %.1f MB (%.0f bytes per bug)\n"
        "frames stepped on several threads: %llu of %llu\n"
        "members in flight: %.2f on average\n"
        "state digest: %016llx\n",
        scene.c_str(), options.Frames, options.Direct ? "direct" : "indexed", simulation.Threads(),
        seconds * 1e3 / options.Frames, seconds * 1e9 / std::max(bugSteps, 1.0),
        processor * 1e9 / std::max(bugSteps, 1.0), options.Frames / seconds,
        peak / (1024.0 * 1024.0), peak / std::max(options.Bugs, 1),
        static_cast<unsigned long long>(concurrency.ConcurrentGroupFrames),
        static_cast<unsigned long long>(concurrency.GroupFrames), concurrency.MembersInFlight(),
        static_cast<unsigned long long>(StateDigest(simulation)));
    std::cout << text;
    return 0;
}

} // namespace

TCliCommand AddBenchCommand(CLI::App& app) {
    auto options = std::make_shared<TBenchOptions>();
    CLI::App* command =
        app.add_subcommand("bench", "Measure the engine on a generated workload in memory");
    command->footer(
        "flock: one group with Cohesion, Alignment and Separation (range 30 m, angle 110\n"
        "degrees, linear combination) in a square arena sized for about ten members in\n"
        "range per bug at the start. As the flock gathers, the count grows: over the first\n"
        "100 frames a bug has about 15 members in range and 12 perceived on average, 23 and\n"
        "18 by frame 100. --seekers: that many members, spread evenly over the list, also\n"
        "seek a member of the flock picked at random. obstacles: bugs with Obstacle\n"
        "Avoidance over --obstacles line and circle obstacles in a 2000 x 2000 m arena. The\n"
        "same arguments always build the same simulation. Only the frames are timed, not\n"
        "building the workload. --direct tests every member and every obstacle instead of\n"
        "using the spatial index; both give identical results, so the ratio of the two\n"
        "times is the index's speed-up. The time per bug-step is on the clock; the\n"
        "processor time per bug-step, which other programs on the machine disturb less, is\n"
        "that of every thread. Members in flight: how many members the threads stepped at\n"
        "once on average, over the frames stepped on several threads. The state digest\n"
        "condenses every bug's position and velocity after the last frame: equal digests,\n"
        "equal results.");
    command->add_option("--workload", options->Workload, "what to simulate")
        ->required()
        ->type_name("NAME")
        ->check(CLI::IsMember({"flock", "obstacles"}));
    command->add_option("--bugs", options->Bugs, "number of bugs")
        ->required()
        ->type_name("N")
        ->check(CLI::Range(1, 10'000'000));
    command->add_option("--frames", options->Frames, "frames to run")
        ->capture_default_str()
        ->type_name("F")
        ->check(CLI::Range(1, 1'000'000));
    command->add_option("--obstacles", options->Obstacles, "obstacles of the obstacles workload")
        ->capture_default_str()
        ->type_name("N")
        ->check(CLI::Range(0, 1'000'000));
    command
        ->add_option("--seekers", options->Seekers, "flock members that also seek another member")
        ->capture_default_str()
        ->type_name("N")
        ->check(CLI::Range(0, 10'000'000));
    command->add_flag("--direct", options->Direct, "search without the spatial index");
    AddThreadsOption(command, options->Threads);
    return {command, [options] { return bench(*options); },
            [options] { return "a workload of " + std::to_string(options->Bugs) + " bugs"; }};
}

} // namespace kova
