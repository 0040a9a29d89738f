#pragma once

#include "cli/ExperimentFile.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kova {

// An experiment as a Slurm job array: task t runs the runs t * K to
// t * K + K - 1 through "kova-cli sweep ... --task t", and a second job, started
// once the array has ended however it ended, collects the results.

struct TSlurmSettings {
    std::string Partition;
    std::string Time;
    // Runs per array task; 0 chooses as DefaultRunsPerTask does.
    std::size_t RunsPerTask = 0;
};

// One run a task, or as many as keep the array within 1000 tasks (Slurm's
// default MaxArraySize is 1001).
std::size_t DefaultRunsPerTask(std::size_t runs);
std::size_t TaskCount(std::size_t runs, std::size_t runsPerTask);
std::vector<std::size_t> TaskRuns(std::size_t runs, std::size_t runsPerTask, std::size_t task);

// Writes DIR/sweep.sbatch (the array) and DIR/collect.sbatch (the collection)
// with absolute paths to this program, the experiment and the folder; the
// tasks' logs go to DIR/slurm/. Returns the array's task count.
std::size_t WriteSlurmScripts(const TExperiment& experiment, const std::string& dir,
                              const TSlurmSettings& settings);

// Runs sbatch --parsable with the arguments and returns the job id it prints;
// throws when sbatch cannot be started or refuses the job.
std::string SubmitSlurmJob(const std::vector<std::string>& arguments);

} // namespace kova
