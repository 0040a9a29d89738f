#pragma once

#include "cli/ExperimentFile.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kova {

// The runs of an experiment and their results in an output folder:
//   DIR/runs/run-000017.json   one run's results, written when the run is done
//   DIR/runs/run-000017-statistics.csv, run-000017.kmd, run-000017.kvz and
//   run-000017.mp4             its optional outputs (the .kvz is the file the
//                              video is rendered from)
//   DIR/results.csv            one row per run (no timings: the same bytes on
//                              every machine, whatever the order of the runs)
//   DIR/summary.csv            per combination, mean and standard deviation
//   DIR/timings.csv            each run's wall time
// A run's file is complete or absent (TOutputFile), and it carries the
// experiment's fingerprint, so a sweep started again skips exactly the runs
// that finished for this version of the experiment.

// "run-000017", the stem of a run's files.
std::string RunFileStem(std::size_t run);
std::string RunResultPath(const std::string& dir, std::size_t run);

// The results' columns: run, combination, the variables, replicate, seed and
// the measures.
std::vector<std::string> ResultHeader(const TExperiment& experiment);

// Whether the run's results are in the folder, for this experiment.
bool RunIsFinished(const TExperiment& experiment, const std::vector<std::string>& header,
                   const std::string& dir, std::size_t run);

// Builds and runs one run in this process, its groups stepped on `threads`
// threads, and writes its files.
void RunOne(const TExperiment& experiment, const std::string& dir, std::size_t run,
            unsigned threads = 1);

// Runs the given runs, at most `jobs` at a time, each in a process of its own
// (this program with the hidden option "--run K") that steps on `threads`
// threads, skipping those already finished. Progress goes to stderr when it
// is a terminal. Returns the number of runs that failed; after a failure no
// further run is started.
std::size_t RunMany(const TExperiment& experiment, const std::string& dir,
                    const std::vector<std::size_t>& runs, unsigned jobs, unsigned threads = 1);

// Writes results.csv, summary.csv and timings.csv from the run files there
// are, and returns the runs whose files are missing.
std::vector<std::size_t> CollectResults(const TExperiment& experiment, const std::string& dir);

// "3, 5, 9-12": run numbers with consecutive ones as ranges.
std::string RunListText(const std::vector<std::size_t>& runs);

// The path of this program, for the processes it starts.
std::string ThisProgramPath();

// kova-render beside this program, which makes the runs' videos; throws
// EExperimentError at "outputs.video" when it is not there.
std::string VideoRendererPath(const TExperiment& experiment);

} // namespace kova
