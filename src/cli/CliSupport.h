#pragma once

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace kova {

class TSimulation;

// One subcommand of kova-cli: its CLI11 parser and what it does once its
// arguments are parsed. The action returns the exit status.
struct TCliCommand {
    CLI::App* Command = nullptr;
    std::function<int()> Action;
    // What the command works on ("\"flock.kvz\""), named when it runs out of
    // memory.
    std::function<std::string()> Subject;
};

// Exit statuses: 1 for a failure while working, 2 for a wrong command line.
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// "\"<path>\"", as messages name files.
std::string QuotedPath(const std::string& path);

// Runs a command's action; any exception becomes one line
// "<program>: <message>" on stderr and the failure status.
int RunCliAction(const TCliCommand& command, const char* program = "kova-cli");

// A time of the simulation clock, "SEC:FRAME" on the command line.
struct TClockTime {
    std::uint32_t Second = 0;
    std::uint32_t Frame = 0;
};
// Accepts "SEC:FRAME" with two unsigned 32-bit decimal numbers.
const CLI::Validator& ClockTimeValidator();
// Text the validator accepted.
TClockTime ParseClockTime(const std::string& text);

// The whole file; throws EStreamError naming the file and the reason.
std::string ReadTextFile(const std::string& path);

// "label: done of total" on stderr, rewritten in place a few times a second,
// and only when stderr is a terminal.
class TProgress {
public:
    TProgress(std::string label, std::uint64_t total);
    ~TProgress();
    TProgress(const TProgress&) = delete;
    TProgress& operator=(const TProgress&) = delete;

    void Update(std::uint64_t done);

private:
    std::string label_;
    std::uint64_t total_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point next_;
};

// --threads N: the threads that step a large group; 0, the default, stands
// for every core. Results are the same whatever the count.
void AddThreadsOption(CLI::App* command, unsigned& threads);
// The count the option asks for, 0 resolved to the machine's cores.
unsigned ThreadsToUse(unsigned threads);

// Runs `frames` frames from where the simulation stands, as "Run" does but
// without a window: no delay and no drawing (the drawing document stops
// double buffering), with progress on stderr when it is a terminal. Returns
// the time spent stepping the frames.
std::chrono::steady_clock::duration RunFrames(TSimulation& simulation, std::uint64_t frames);

} // namespace kova
