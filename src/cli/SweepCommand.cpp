#include "cli/Commands.h"
#include "cli/ExperimentFile.h"
#include "cli/SlurmArray.h"
#include "cli/SweepRunner.h"
#include "foundations/WorkerPool.h"

#include <filesystem>
#include <iostream>
#include <memory>

namespace kova {

namespace {

struct TSweepOptions {
    std::string Experiment;
    std::string Output;
    unsigned Jobs = 0;
    unsigned Threads = 0;
    bool Slurm = false;
    bool Submit = false;
    bool Collect = false;
    TSlurmSettings SlurmSettings;
    // Hidden: one run in this process, or one array task's share.
    long long Run = -1;
    long long Task = -1;
};

int collect(const TExperiment& experiment, const std::string& dir) {
    const std::vector<std::size_t> missing = CollectResults(experiment, dir);
    const std::filesystem::path folder(dir);
    std::cerr << "Collected " << experiment.RunCount() - missing.size() << " of "
              << experiment.RunCount() << " runs into " << (folder / "results.csv").string()
              << " and " << (folder / "summary.csv").string() << '\n';
    if (missing.empty())
        return 0;
    std::cerr << "kova-cli: " << missing.size() << " runs are missing: " << RunListText(missing)
              << '\n';
    return kExitFailure;
}

int submit(const TExperiment& experiment, const TSweepOptions& options) {
    const std::size_t tasks = WriteSlurmScripts(experiment, options.Output, options.SlurmSettings);
    const std::filesystem::path folder(options.Output);
    const std::string sweepScript = (folder / "sweep.sbatch").string();
    const std::string collectScript = (folder / "collect.sbatch").string();
    if (!options.Submit) {
        std::cerr << "Wrote " << sweepScript << " (" << tasks << " array tasks) and "
                  << collectScript << "; submit them with\n  id=$(sbatch --parsable " << sweepScript
                  << ") && sbatch --dependency=afterany:$id " << collectScript << '\n';
        return 0;
    }
    const std::string array = SubmitSlurmJob({sweepScript});
    const std::string collector = SubmitSlurmJob({"--dependency=afterany:" + array, collectScript});
    std::cerr << "Submitted job array " << array << " (" << tasks << " tasks); job " << collector
              << " collects the results into " << (folder / "results.csv").string()
              << " when it has ended\n";
    std::cout << array << '\n' << std::flush;
    return 0;
}

// Unless told, the runs share the cores: with a run per core each steps on
// one thread.
unsigned threadsPerRun(const TSweepOptions& options, unsigned jobs) {
    return options.Threads != 0 ? options.Threads : std::max(1u, HardwareThreads() / jobs);
}

int sweep(const TSweepOptions& options) {
    if (options.Run >= 0) {
        RunOne(ReadExperiment(options.Experiment, false), options.Output,
               static_cast<std::size_t>(options.Run), std::max(options.Threads, 1u));
        return 0;
    }
    if (options.Task >= 0) {
        const TExperiment experiment = ReadExperiment(options.Experiment, false);
        const std::size_t perTask = options.SlurmSettings.RunsPerTask != 0
                                        ? options.SlurmSettings.RunsPerTask
                                        : DefaultRunsPerTask(experiment.RunCount());
        const std::vector<std::size_t> runs =
            TaskRuns(experiment.RunCount(), perTask, static_cast<std::size_t>(options.Task));
        const unsigned jobs = options.Jobs == 0 ? 1 : options.Jobs;
        return RunMany(experiment, options.Output, runs, jobs, threadsPerRun(options, jobs)) == 0
                   ? 0
                   : kExitFailure;
    }
    if (options.Collect)
        return collect(ReadExperiment(options.Experiment, false), options.Output);

    const TExperiment experiment = ReadExperiment(options.Experiment, true);
    if (experiment.Video)
        VideoRendererPath(experiment);
    std::filesystem::create_directories(std::filesystem::path(options.Output) / "runs");
    if (options.Slurm)
        return submit(experiment, options);
    std::vector<std::size_t> runs(experiment.RunCount());
    for (std::size_t run = 0; run < runs.size(); ++run)
        runs[run] = run;
    const unsigned jobs = options.Jobs == 0 ? HardwareThreads() : options.Jobs;
    const std::size_t failed =
        RunMany(experiment, options.Output, runs, jobs, threadsPerRun(options, jobs));
    const int collected = collect(experiment, options.Output);
    return failed == 0 ? collected : kExitFailure;
}

} // namespace

TCliCommand AddSweepCommand(CLI::App& app) {
    auto options = std::make_shared<TSweepOptions>();
    CLI::App* command = app.add_subcommand(
        "sweep", "Run an experiment: a scene's values swept and replicated, on all cores or "
                 "as a Slurm job array");
    command->footer(
        "Every run builds the base scene with its values and its replicate's seed as\n"
        "\"randomSeed\", runs it without a window and writes DIR/runs/run-NNNNNN.json once it\n"
        "is done. Runs run in processes of their own, N at a time (default: every core), and\n"
        "the same command again skips the runs that have finished, so a killed sweep goes on\n"
        "where it stopped. At the end DIR holds results.csv (one row per run: run,\n"
        "combination, the variables, replicate, seed and the measures; the same bytes for\n"
        "any N, order or machine), summary.csv (per combination, mean and sample standard\n"
        "deviation of each measure over the replicates) and timings.csv (each run's wall\n"
        "time). The experiment file is checked, every value and combination built, before\n"
        "anything runs. Progress goes to stderr when it is a terminal.\n"
        "With --slurm, DIR/sweep.sbatch is a job array whose tasks run their share of the\n"
        "runs through this program, and DIR/collect.sbatch a job that collects them;\n"
        "--submit submits both (the second after the array has ended) and prints the\n"
        "array's job id. DIR, the experiment, its scene and this program must be on a\n"
        "file system every node shares, under the same paths. --collect writes the CSV\n"
        "files from the runs there are and lists the missing ones.\n"
        "Experiment file (JSON; keys beginning with \"_\" are comments):\n"
        "  {\"scene\": \"scene.json\" or \"file.kvz\", relative to the experiment file,\n"
        "   \"variables\": [{\"name\": column, \"pointer\": JSON Pointer into the scene,\n"
        "                  \"values\": [...] or \"range\": {\"from\", \"to\", \"step\"}}],\n"
        "   \"replicates\": {\"count\": R, \"seed\": S},\n"
        "   \"until\": \"SEC:FRAME\",\n"
        "   \"measure\": {\"every\": N, \"window\": \"SEC:FRAME\", \"statistics\": [names],\n"
        "               \"groups\": [names], \"clusterDistance\": D},\n"
        "   \"outputs\": {\"statistics\": true, \"kmd\": {\"group\": name, \"every\": n},\n"
        "               \"video\": true}}\n"
        "Runs are the cross product of the variables' values times the replicates; replicate\n"
        "r's seed is the upper 32 bits of SplitMix64(S * 2^32 + r), the same in every\n"
        "combination. A measure is a group's statistic (see \"run --help\"), the mean of the\n"
        "measurements on frames k (counted from 0) with k % N = 0 in the window at the end\n"
        "of the span, or measured after the last frame without a window. Per-run outputs go\n"
        "beside the run's results: the statistics as \"run --stats\" writes them, the group's\n"
        "motion as \"export\" records it, and a video made by kova-render (which must be in\n"
        "the folder of kova-cli) from the run's simulation, saved as run-NNNNNN.kvz.");
    command->add_option("EXPERIMENT", options->Experiment, "experiment file (JSON)")
        ->required()
        ->type_name("FILE");
    command
        ->add_option("-o,--output", options->Output,
                     "folder of the results, made when missing; shared by all nodes with --slurm")
        ->required()
        ->type_name("DIR");
    command
        ->add_option("--threads", options->Threads,
                     "threads each run steps its groups on (default: the cores left to it, "
                     "every core / N); results are the same for every count")
        ->type_name("T")
        ->check(CLI::Range(1u, 1024u));
    command->add_option("--jobs", options->Jobs, "runs at a time (default: every core)")
        ->type_name("N")
        ->check(CLI::Range(1u, 4096u));
    CLI::Option* slurm =
        command->add_flag("--slurm", options->Slurm, "write a Slurm job array instead of running");
    command->add_option("--partition", options->SlurmSettings.Partition, "Slurm partition")
        ->type_name("P")
        ->needs(slurm);
    command->add_option("--time", options->SlurmSettings.Time, "time limit of each array task")
        ->type_name("T")
        ->needs(slurm);
    command
        ->add_option("--runs-per-task", options->SlurmSettings.RunsPerTask,
                     "runs in each array task (default 1, or as many as keep the array within "
                     "1000 tasks)")
        ->type_name("K")
        ->check(CLI::Range(std::size_t{1}, std::size_t{10000000}));
    command->add_flag("--submit", options->Submit, "submit the job array and the collection")
        ->needs(slurm);
    CLI::Option* collectFlag = command->add_flag(
        "--collect", options->Collect, "write results.csv and summary.csv from the runs' files");
    collectFlag->excludes(slurm);
    command->add_option("--run", options->Run, "run one run in this process")
        ->group("")
        ->check(CLI::NonNegativeNumber);
    command->add_option("--task", options->Task, "run one array task's share of the runs")
        ->group("")
        ->check(CLI::NonNegativeNumber);
    return {command, [options] { return sweep(*options); },
            [options] { return QuotedPath(options->Experiment); }};
}

} // namespace kova
