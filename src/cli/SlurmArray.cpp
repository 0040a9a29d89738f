#include "cli/SlurmArray.h"

#include "cli/SweepRunner.h"
#include "foundations/OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace kova {

namespace {

constexpr std::size_t kMaxArrayTasks = 1000;

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string absolutePath(const std::string& path) {
    return std::filesystem::absolute(path).lexically_normal().string();
}

void writeDirectives(std::ostream& out, const std::string& name, const std::string& log,
                     const TSlurmSettings& settings) {
    out << "#!/bin/sh\n";
    out << "#SBATCH --job-name=" << name << '\n';
    out << "#SBATCH --output=" << log << '\n';
    out << "#SBATCH --ntasks=1\n";
    out << "#SBATCH --cpus-per-task=1\n";
    if (!settings.Partition.empty())
        out << "#SBATCH --partition=" << settings.Partition << '\n';
    if (!settings.Time.empty())
        out << "#SBATCH --time=" << settings.Time << '\n';
}

} // namespace

std::size_t DefaultRunsPerTask(std::size_t runs) {
    return std::max<std::size_t>(1, (runs + kMaxArrayTasks - 1) / kMaxArrayTasks);
}

std::size_t TaskCount(std::size_t runs, std::size_t runsPerTask) {
    return (runs + runsPerTask - 1) / runsPerTask;
}

std::vector<std::size_t> TaskRuns(std::size_t runs, std::size_t runsPerTask, std::size_t task) {
    std::vector<std::size_t> share;
    for (std::size_t run = task * runsPerTask; run < std::min(runs, (task + 1) * runsPerTask);
         ++run)
        share.push_back(run);
    return share;
}

std::size_t WriteSlurmScripts(const TExperiment& experiment, const std::string& dir,
                              const TSlurmSettings& settings) {
    const std::size_t runsPerTask = settings.RunsPerTask != 0
                                        ? settings.RunsPerTask
                                        : DefaultRunsPerTask(experiment.RunCount());
    const std::size_t tasks = TaskCount(experiment.RunCount(), runsPerTask);
    const std::string folder = absolutePath(dir);
    const std::string logs = (std::filesystem::path(folder) / "slurm").string();
    std::filesystem::create_directories(logs);
    const std::string command = shellQuoted(ThisProgramPath()) + " sweep " +
                                shellQuoted(absolutePath(experiment.File)) + " -o " +
                                shellQuoted(folder);

    TOutputFile sweep((std::filesystem::path(folder) / "sweep.sbatch").string());
    TOutputFile collect((std::filesystem::path(folder) / "collect.sbatch").string());
    std::ostream& s = sweep.Stream();
    writeDirectives(s, "kova-sweep", logs + "/task-%a.log", settings);
    s << "#SBATCH --array=0-" << tasks - 1 << '\n';
    s << "# " << experiment.RunCount() << " runs of " << experiment.File << ", " << runsPerTask
      << " a task. A task skips the runs that have finished, so a task run again\n"
         "# (requeued, or the array submitted anew) does only what is missing.\n";
    s << "exec " << command << " --task \"$SLURM_ARRAY_TASK_ID\" --runs-per-task " << runsPerTask
      << " --jobs \"${SLURM_CPUS_PER_TASK:-1}\"\n";

    std::ostream& c = collect.Stream();
    writeDirectives(c, "kova-sweep-collect", logs + "/collect.log", settings);
    c << "# Writes results.csv, summary.csv and timings.csv from the runs' files and\n"
         "# lists the runs that are missing.\n";
    c << "exec " << command << " --collect\n";
    TOutputFile::CommitAll({&sweep, &collect});
    return tasks;
}

std::string SubmitSlurmJob(const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {"sbatch", "--parsable"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        throw std::runtime_error(std::string("Cannot start sbatch: ") + std::strerror(errno));
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error(std::string("Cannot start sbatch: ") + std::strerror(errno));
    if (pid == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execvp("sbatch", argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string out;
    char buffer[512];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127)
        throw std::runtime_error("Cannot run sbatch: is Slurm's client installed and on PATH?");
    if (WEXITSTATUS(status) != 0)
        throw std::runtime_error("sbatch refused the job (exit status " +
                                 std::to_string(WEXITSTATUS(status)) + ")");
    // "<id>" or "<id>;<cluster>".
    const std::size_t end = out.find_first_of(";\r\n");
    const std::string id = out.substr(0, end);
    if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos)
        throw std::runtime_error("sbatch printed no job id: \"" + out + "\"");
    return id;
}

} // namespace kova
