#include "cli/CliSupport.h"

#include "foundations/Streams.h"
#include "foundations/WorkerPool.h"
#include "simulation/Simulation.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace kova {

namespace {

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

bool parseUnsigned32(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 10)
        return false;
    std::uint64_t result = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (result > UINT32_MAX)
        return false;
    value = static_cast<std::uint32_t>(result);
    return true;
}

bool parseClockTime(const std::string& text, TClockTime& time) {
    const std::size_t colon = text.find(':');
    return colon != std::string::npos && parseUnsigned32(text.substr(0, colon), time.Second) &&
           parseUnsigned32(text.substr(colon + 1), time.Frame);
}

} // namespace

std::string QuotedPath(const std::string& path) {
    return "\"" + path + "\"";
}

int RunCliAction(const TCliCommand& command, const char* program) {
    try {
        return command.Action();
    } catch (const std::bad_alloc&) {
        std::cout.flush();
        std::cerr << program << ": there is not enough memory to work on "
                  << (command.Subject ? command.Subject() : std::string("this")) << '\n';
        return kExitFailure;
    } catch (const std::exception& error) {
        std::cout.flush();
        std::cerr << program << ": " << oneLine(error.what()) << '\n';
        return kExitFailure;
    }
}

const CLI::Validator& ClockTimeValidator() {
    static const CLI::Validator validator(
        [](std::string& text) -> std::string {
            TClockTime time;
            return parseClockTime(text, time) ? std::string()
                                              : "expected SEC:FRAME, for example 12:0";
        },
        "");
    return validator;
}

TClockTime ParseClockTime(const std::string& text) {
    TClockTime time;
    parseClockTime(text, time);
    return time;
}

std::string ReadTextFile(const std::string& path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
        throw EStreamError("Cannot read \"" + path + "\": it is a folder");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw EStreamError("Cannot read \"" + path + "\": " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw EStreamError("Cannot read \"" + path + "\": " + std::strerror(errno));
    return text.str();
}

// --- TProgress -----------------------------------------------------------------

TProgress::TProgress(std::string label, std::uint64_t total)
    : label_(std::move(label)), total_(total), enabled_(isatty(STDERR_FILENO) == 1),
      next_(std::chrono::steady_clock::now()) {}

TProgress::~TProgress() {
    if (shown_)
        std::cerr << "\r\033[K" << std::flush;
}

void TProgress::Update(std::uint64_t done) {
    if (!enabled_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now < next_ && done < total_)
        return;
    next_ = now + std::chrono::milliseconds(200);
    std::cerr << '\r' << label_ << ": " << done << " of " << total_ << std::flush;
    shown_ = true;
}

// --- threads -------------------------------------------------------------------

void AddThreadsOption(CLI::App* command, unsigned& threads) {
    command
        ->add_option("--threads", threads,
                     "threads that step a large group (default: every core); the results are "
                     "the same for every count")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u));
}

unsigned ThreadsToUse(unsigned threads) {
    return threads != 0 ? threads : HardwareThreads();
}

// --- RunFrames -----------------------------------------------------------------

std::chrono::steady_clock::duration RunFrames(TSimulation& simulation, std::uint64_t frames) {
    simulation.Doc.SetDoubleBuffered(false);
    std::chrono::steady_clock::duration stepping{};
    TProgress progress("Frame", frames);
    simulation.BeginRun();
    for (std::uint64_t frame = 0; frame < frames; ++frame) {
        const auto start = std::chrono::steady_clock::now();
        simulation.StepFrame();
        stepping += std::chrono::steady_clock::now() - start;
        progress.Update(frame + 1);
    }
    simulation.Pause();
    return stepping;
}

} // namespace kova
