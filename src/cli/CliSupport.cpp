#include "cli/CliSupport.h"

#include "foundations/Streams.h"
#include "simulation/Simulation.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <sys/stat.h>
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

int RunCliAction(const std::function<int()>& action) {
    try {
        return action();
    } catch (const std::exception& error) {
        std::cout.flush();
        std::cerr << "kova-cli: " << oneLine(error.what()) << '\n';
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
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw EStreamError("Cannot read \"" + path + "\": " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw EStreamError("Cannot read \"" + path + "\": " + std::strerror(errno));
    return text.str();
}

// --- TOutputFile ---------------------------------------------------------------

TOutputFile::TOutputFile(std::string path) : path_(std::move(path)) {
    namespace fs = std::filesystem;
    const fs::path target(path_);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    temporary_ = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temporary_.data());
    if (fd < 0) {
        temporary_.clear();
        fail(std::strerror(errno));
    }
    // mkstemp makes the file private; give it the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    stream_.open(temporary_, std::ios::binary | std::ios::trunc);
    if (!stream_) {
        const int reason = errno;
        std::remove(temporary_.c_str());
        temporary_.clear();
        fail(std::strerror(reason));
    }
}

TOutputFile::~TOutputFile() {
    if (!committed_ && !temporary_.empty()) {
        stream_.close();
        std::remove(temporary_.c_str());
    }
}

void TOutputFile::Commit() {
    stream_.flush();
    if (!stream_)
        fail("write error");
    stream_.close();
    if (stream_.fail())
        fail("write error");
    std::error_code error;
    std::filesystem::rename(temporary_, path_, error);
    if (error)
        fail(error.message());
    committed_ = true;
}

void TOutputFile::Withdraw() {
    if (committed_)
        std::remove(path_.c_str());
}

void TOutputFile::fail(const std::string& reason) const {
    throw EStreamError("Cannot write \"" + path_ + "\": " + reason);
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
