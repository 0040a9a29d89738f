#include "cli/SweepRunner.h"

#include "analysis/GroupStatistics.h"
#include "analysis/StatisticsCsv.h"
#include "cli/SceneJson.h"
#include "foundations/OutputFile.h"
#include "foundations/Streams.h"
#include "simulation/MotionData.h"
#include "simulation/MotionExport.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"
#include "simulation/SimulationHost.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kova {

namespace {

using Clock = std::chrono::steady_clock;

// Measures the groups while a run's frames step: on the first frame and every
// Every-th after it into the statistics output (every group, every statistic,
// as "run --stats" writes them), and into the results the measurements of the
// window at the end of the span, or of the last frame when there is none.
class TSweepMeter : public ISimulationHost {
public:
    TSweepMeter(const TSimulation& simulation, const TExperiment& experiment,
                const TMeasureLayout& layout, std::ostream* statistics)
        : simulation_(simulation), experiment_(experiment), layout_(layout),
          statistics_(statistics), sums_(layout.Columns.size(), 0.0) {
        if (statistics_ != nullptr) {
            *statistics_ << "second,frame,group";
            for (const std::string& name : GroupStatisticNames())
                *statistics_ << ',' << name;
            *statistics_ << '\n';
        }
    }

    void BugsStepped() override {
        const std::uint64_t frame = frame_++;
        const bool sampled = frame % experiment_.Every == 0;
        const bool measured = experiment_.Window
                                  ? sampled && frame >= layout_.Frames - layout_.WindowFrames
                                  : frame == layout_.Frames - 1;
        if (!sampled && !measured)
            return;
        const auto& groups = simulation_.Groups;
        values_.assign(groups.size(), {});
        const auto valuesOf = [&](std::size_t g) -> const std::vector<double>& {
            if (values_[g].empty())
                values_[g] =
                    GroupStatisticValues(meter_.Measure(*groups[g], experiment_.ClusterDistance));
            return values_[g];
        };
        if (sampled && statistics_ != nullptr) {
            const std::string time = std::to_string(simulation_.CurrentSecond) + "," +
                                     std::to_string(simulation_.CurrentFrame) + ",";
            for (std::size_t g = 0; g < groups.size(); ++g) {
                *statistics_ << time << CsvText(groups[g]->Name);
                for (const double value : valuesOf(g))
                    *statistics_ << ',' << ShortestText(value);
                *statistics_ << '\n';
            }
        }
        if (measured) {
            std::size_t column = 0;
            for (const std::size_t g : layout_.Groups)
                for (const std::size_t s : experiment_.Statistics)
                    sums_[column++] += valuesOf(g)[s];
            ++measurements_;
        }
    }

    // The mean of each measure over the measurements taken.
    std::vector<double> Means() const {
        std::vector<double> means = sums_;
        for (double& mean : means)
            mean /= static_cast<double>(measurements_);
        return means;
    }

private:
    const TSimulation& simulation_;
    const TExperiment& experiment_;
    const TMeasureLayout& layout_;
    std::ostream* statistics_;
    std::uint64_t frame_ = 0;
    std::vector<std::vector<double>> values_;
    std::vector<double> sums_;
    std::uint64_t measurements_ = 0;
    TGroupMeter meter_;
};

std::vector<std::string> headerWith(const TExperiment& experiment,
                                    const std::vector<std::string>& columns) {
    std::vector<std::string> header = {"run", "combination"};
    for (const TSweepVariable& variable : experiment.Variables)
        header.push_back(variable.Name);
    header.push_back("replicate");
    header.push_back("seed");
    header.insert(header.end(), columns.begin(), columns.end());
    return header;
}

std::size_t fixedColumnCount(const TExperiment& experiment) {
    return experiment.Variables.size() + 4;
}

struct TRunRecord {
    std::vector<std::string> Row;
    double WallSeconds = 0;
};

std::optional<TRunRecord> readRun(const TExperiment& experiment,
                                  const std::vector<std::string>& header, const std::string& dir,
                                  std::size_t run) {
    std::ifstream in(RunResultPath(dir, run), std::ios::binary);
    if (!in)
        return std::nullopt;
    try {
        const nlohmann::json json = nlohmann::json::parse(in);
        if (json.at("fingerprint").get<std::string>() != experiment.Fingerprint ||
            json.at("run").get<std::size_t>() != run ||
            json.at("header").get<std::vector<std::string>>() != header)
            return std::nullopt;
        TRunRecord record{json.at("row").get<std::vector<std::string>>(),
                          json.at("wallSeconds").get<double>()};
        if (record.Row.size() != header.size())
            return std::nullopt;
        return record;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

void writeCsvRow(std::ostream& out, const std::vector<std::string>& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i)
        out << (i == 0 ? "" : ",") << CsvText(cells[i]);
    out << '\n';
}

// "Runs: 12 of 64, 3.2 s, about 14 s left" on stderr, rewritten in place a
// few times a second when stderr is a terminal.
class TSweepProgress {
public:
    TSweepProgress(std::size_t total)
        : total_(total), enabled_(isatty(STDERR_FILENO) == 1), start_(Clock::now()) {}
    ~TSweepProgress() { Clear(); }
    TSweepProgress(const TSweepProgress&) = delete;
    TSweepProgress& operator=(const TSweepProgress&) = delete;

    void Update(std::size_t done) {
        const auto now = Clock::now();
        if (!enabled_ || (now < next_ && done < total_))
            return;
        next_ = now + std::chrono::milliseconds(200);
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        char line[160];
        if (done == 0)
            std::snprintf(line, sizeof line, "Runs: 0 of %zu, %.1f s", total_, elapsed);
        else
            std::snprintf(line, sizeof line, "Runs: %zu of %zu, %.1f s, about %.1f s left", done,
                          total_, elapsed,
                          elapsed / static_cast<double>(done) * static_cast<double>(total_ - done));
        std::cerr << "\r\033[K" << line << std::flush;
        shown_ = true;
    }

    // Takes the line off the terminal again.
    void Clear() {
        if (shown_)
            std::cerr << "\r\033[K" << std::flush;
        shown_ = false;
    }

private:
    std::size_t total_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point next_{};
};

// Starts a program: this one on one run, or the video renderer. The child
// asks to be stopped with SIGTERM when the process that started it ends, so
// killing a sweep stops its runs too (and their partial files go with them).
pid_t startChild(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("Cannot start " + program + ": " + std::strerror(errno));
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(kExitFailure);
        execv(program.c_str(), argv.data());
        _exit(kExitFailure);
    }
    return pid;
}

// Renders the run's span from the run's scene, saved beside the results, as
// a video; throws when the renderer fails.
void renderVideo(const TExperiment& experiment, const TSceneJson& scene, const std::string& stem) {
    const std::string kvz = stem + ".kvz";
    {
        TOutputFile file(kvz);
        TMemoryStream bytes;
        WriteSimulationFile(*BuildSimulation(scene), bytes);
        file.Stream().write(reinterpret_cast<const char*>(bytes.Bytes().data()),
                            static_cast<std::streamsize>(bytes.Bytes().size()));
        file.Commit();
    }
    const std::string renderer = VideoRendererPath(experiment);
    const std::string until =
        std::to_string(experiment.Until.Second) + ":" + std::to_string(experiment.Until.Frame);
    const pid_t pid = startChild(renderer, {kvz, "--until", until, "--video", stem + ".mp4"});
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            throw std::runtime_error(std::string("Cannot wait for kova-render: ") +
                                     std::strerror(errno));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("kova-render could not make the video of " + QuotedPath(kvz));
}

} // namespace

std::string RunFileStem(std::size_t run) {
    char stem[32];
    std::snprintf(stem, sizeof stem, "run-%06zu", run);
    return stem;
}

std::string RunResultPath(const std::string& dir, std::size_t run) {
    return (std::filesystem::path(dir) / "runs" / (RunFileStem(run) + ".json")).string();
}

std::vector<std::string> ResultHeader(const TExperiment& experiment) {
    const auto simulation = BuildSimulation(RunScene(experiment, PlanRun(experiment, 0)));
    return headerWith(experiment, LayOutMeasures(experiment, *simulation).Columns);
}

bool RunIsFinished(const TExperiment& experiment, const std::vector<std::string>& header,
                   const std::string& dir, std::size_t run) {
    return readRun(experiment, header, dir, run).has_value();
}

void RunOne(const TExperiment& experiment, const std::string& dir, std::size_t run,
            unsigned threads) {
    const auto start = Clock::now();
    if (run >= experiment.RunCount())
        throw std::runtime_error("There is no run " + std::to_string(run) + " in " +
                                 QuotedPath(experiment.File) + ": it has " +
                                 std::to_string(experiment.RunCount()) + " runs");
    const TRunPlan plan = PlanRun(experiment, run);
    const TSceneJson scene = RunScene(experiment, plan);
    const auto simulation = BuildSimulation(scene);
    simulation->SetThreads(threads);
    const TMeasureLayout layout = LayOutMeasures(experiment, *simulation);

    const std::filesystem::path runs = std::filesystem::path(dir) / "runs";
    std::filesystem::create_directories(runs);
    const std::string stem = (runs / RunFileStem(run)).string();
    TOutputFile result(stem + ".json");
    std::optional<TOutputFile> statistics;
    std::optional<TOutputFile> kmd;
    if (experiment.StatisticsOutput)
        statistics.emplace(stem + "-statistics.csv");
    if (!experiment.KmdGroup.empty())
        kmd.emplace(stem + ".kmd");

    TSweepMeter meter(*simulation, experiment, layout,
                      statistics ? &statistics->Stream() : nullptr);
    simulation->SetHost(&meter);
    simulation->Doc.SetDoubleBuffered(false);
    simulation->BeginRun();
    for (std::uint64_t frame = 0; frame < layout.Frames; ++frame)
        simulation->StepFrame();
    simulation->Pause();
    simulation->SetHost(nullptr);

    if (kmd) {
        // The export records the group alone from 0:0, so it starts from a
        // simulation of its own, built as the run's was.
        const auto recorded = BuildSimulation(scene);
        for (const auto& group : recorded->Groups)
            if (group->Name == experiment.KmdGroup) {
                TMotionExportSettings settings;
                settings.Every = experiment.KmdEvery;
                settings.ScratchFolder = runs.string();
                WriteMotionKmd(
                    *recorded, *group,
                    SpanLastFrame({experiment.Until.Second, experiment.Until.Frame}, recorded->FPS),
                    kmd->Stream(), settings);
                break;
            }
    }

    if (experiment.Video)
        renderVideo(experiment, scene, stem);

    std::vector<std::string> row = {std::to_string(run), std::to_string(plan.Combination)};
    for (std::size_t v = 0; v < experiment.Variables.size(); ++v)
        row.push_back(ValueText(experiment.Variables[v].Values[plan.ValueIndexes[v]]));
    row.push_back(std::to_string(plan.Replicate));
    row.push_back(std::to_string(plan.Seed));
    for (const double mean : meter.Means())
        row.push_back(ShortestText(mean));

    nlohmann::json json;
    json["fingerprint"] = experiment.Fingerprint;
    json["run"] = run;
    json["header"] = headerWith(experiment, layout.Columns);
    json["row"] = row;
    json["wallSeconds"] = std::chrono::duration<double>(Clock::now() - start).count();
    result.Stream() << json.dump() << '\n';
    // The results last: a run counts as finished once they are in place.
    TOutputFile::CommitAll({statistics ? &*statistics : nullptr, kmd ? &*kmd : nullptr, &result});
}

std::size_t RunMany(const TExperiment& experiment, const std::string& dir,
                    const std::vector<std::size_t>& runs, unsigned jobs, unsigned threads) {
    const std::vector<std::string> header = ResultHeader(experiment);
    std::vector<std::size_t> pending;
    for (const std::size_t run : runs)
        if (!RunIsFinished(experiment, header, dir, run))
            pending.push_back(run);
    const std::string program = ThisProgramPath();
    const auto start = Clock::now();
    TSweepProgress progress(pending.size());
    progress.Update(0);

    std::map<pid_t, std::size_t> running;
    std::vector<std::size_t> failed;
    std::size_t next = 0;
    std::size_t done = 0;
    while (true) {
        while (failed.empty() && running.size() < std::max(jobs, 1u) && next < pending.size()) {
            const std::size_t run = pending[next++];
            running.emplace(
                startChild(program, {"sweep", experiment.File, "-o", dir, "--run",
                                     std::to_string(run), "--threads", std::to_string(threads)}),
                run);
        }
        if (running.empty())
            break;
        int status = 0;
        const pid_t pid = waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error(std::string("Cannot wait for a run: ") + std::strerror(errno));
        }
        const auto it = running.find(pid);
        if (it == running.end())
            continue;
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            ++done;
        else
            failed.push_back(it->second);
        running.erase(it);
        progress.Update(done);
    }
    progress.Clear();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    char line[200];
    std::snprintf(line, sizeof line, "Ran %zu runs in %.2f s (%zu of %zu already done)\n", done,
                  seconds, runs.size() - pending.size(), runs.size());
    std::cerr << line;
    if (!failed.empty()) {
        std::sort(failed.begin(), failed.end());
        std::cerr << "kova-cli: run " << RunListText(failed)
                  << " failed; no further run was started\n";
    }
    return failed.size();
}

std::vector<std::size_t> CollectResults(const TExperiment& experiment, const std::string& dir) {
    const std::vector<std::string> header = ResultHeader(experiment);
    const std::size_t fixed = fixedColumnCount(experiment);
    const std::filesystem::path folder(dir);
    TOutputFile results((folder / "results.csv").string());
    TOutputFile summary((folder / "summary.csv").string());
    TOutputFile timings((folder / "timings.csv").string());

    writeCsvRow(results.Stream(), header);
    timings.Stream() << "run,wall_seconds\n";
    std::vector<std::string> summaryHeader = {"combination"};
    for (const TSweepVariable& variable : experiment.Variables)
        summaryHeader.push_back(variable.Name);
    summaryHeader.push_back("runs");
    for (std::size_t c = fixed; c < header.size(); ++c) {
        summaryHeader.push_back(header[c] + ".mean");
        summaryHeader.push_back(header[c] + ".sd");
    }
    writeCsvRow(summary.Stream(), summaryHeader);

    std::vector<std::size_t> missing;
    for (std::size_t combination = 0; combination < experiment.CombinationCount(); ++combination) {
        std::vector<std::vector<double>> measures;
        std::vector<std::string> first;
        for (std::uint32_t r = 0; r < experiment.Replicates; ++r) {
            const std::size_t run = combination * experiment.Replicates + r;
            const std::optional<TRunRecord> record = readRun(experiment, header, dir, run);
            if (!record) {
                missing.push_back(run);
                continue;
            }
            writeCsvRow(results.Stream(), record->Row);
            timings.Stream() << run << ',' << ShortestText(record->WallSeconds) << '\n';
            if (first.empty())
                first = record->Row;
            std::vector<double> values;
            for (std::size_t c = fixed; c < header.size(); ++c)
                values.push_back(std::strtod(record->Row[c].c_str(), nullptr));
            measures.push_back(std::move(values));
        }
        if (measures.empty())
            continue;
        std::vector<std::string> row = {std::to_string(combination)};
        row.insert(row.end(), first.begin() + 2, first.begin() + 2 + experiment.Variables.size());
        row.push_back(std::to_string(measures.size()));
        const auto n = static_cast<double>(measures.size());
        for (std::size_t m = 0; m + fixed < header.size(); ++m) {
            double sum = 0;
            for (const auto& values : measures)
                sum += values[m];
            const double mean = sum / n;
            double squares = 0;
            for (const auto& values : measures)
                squares += (values[m] - mean) * (values[m] - mean);
            row.push_back(ShortestText(mean));
            // The sample standard deviation; none for a single replicate.
            row.push_back(measures.size() < 2 ? std::string()
                                              : ShortestText(std::sqrt(squares / (n - 1))));
        }
        writeCsvRow(summary.Stream(), row);
    }
    TOutputFile::CommitAll({&results, &summary, &timings});
    return missing;
}

std::string RunListText(const std::vector<std::size_t>& runs) {
    std::string text;
    for (std::size_t i = 0; i < runs.size();) {
        std::size_t last = i;
        while (last + 1 < runs.size() && runs[last + 1] == runs[last] + 1)
            ++last;
        text += (text.empty() ? "" : ", ") + std::to_string(runs[i]);
        if (last > i)
            text += "-" + std::to_string(runs[last]);
        i = last + 1;
    }
    return text;
}

std::string VideoRendererPath(const TExperiment& experiment) {
    const std::string path =
        (std::filesystem::path(ThisProgramPath()).parent_path() / "kova-render").string();
    if (access(path.c_str(), X_OK) != 0)
        experiment.Fail("outputs.video", "videos are made by kova-render, which is not beside "
                                         "kova-cli: " +
                                             QuotedPath(path));
    return path;
}

std::string ThisProgramPath() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        throw std::runtime_error("Cannot find this program's file: " + error.message());
    return path.string();
}

} // namespace kova
