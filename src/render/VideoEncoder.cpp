#include "render/VideoEncoder.h"

#include "foundations/OutputFile.h"
#include "render/ArenaRenderer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kova {

namespace {

// Frames handed to the writer, waiting or being sent; each holds a whole
// picture.
constexpr std::size_t kQueuedFrames = 2;
// A larger pipe means fewer switches between this process and ffmpeg.
constexpr int kPipeSize = 1 << 20;

std::string reasonText(int error) {
    return std::strerror(error);
}

std::string numberText(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

bool endsWith(const std::string& text, const std::string& end) {
    if (text.size() < end.size())
        return false;
    for (std::size_t i = 0; i < end.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i])
            return false;
    return true;
}

// The container ffmpeg writes, by the target's name: the partial file's name
// says nothing.
std::string containerFor(const std::string& path) {
    if (endsWith(path, ".mkv"))
        return "matroska";
    if (endsWith(path, ".mov"))
        return "mov";
    return "mp4";
}

// posix_spawn's attributes and file actions, released however the start ends.
struct TSpawnSetup {
    posix_spawnattr_t Attributes;
    posix_spawn_file_actions_t Actions;
    TSpawnSetup() {
        posix_spawnattr_init(&Attributes);
        posix_spawn_file_actions_init(&Actions);
    }
    ~TSpawnSetup() {
        posix_spawn_file_actions_destroy(&Actions);
        posix_spawnattr_destroy(&Attributes);
    }
    TSpawnSetup(const TSpawnSetup&) = delete;
    TSpawnSetup& operator=(const TSpawnSetup&) = delete;
};

} // namespace

void TVideoEncoder::TDescriptor::Reset(int fd) {
    if (fd_ >= 0)
        close(fd_);
    fd_ = fd;
}

const std::vector<std::string>& VideoPresets() {
    static const std::vector<std::string> presets = {"ultrafast", "superfast", "veryfast",
                                                     "faster",    "fast",      "medium",
                                                     "slow",      "slower",    "veryslow"};
    return presets;
}

TVideoEncoder::TVideoEncoder(const std::string& path, const TVideoSettings& settings)
    : size_(settings.Size), program_(settings.Program) {
    const QSize size = settings.Size;
    if (size.width() <= 0 || size.height() <= 0 || size.width() % 2 != 0 || size.height() % 2 != 0)
        throw ERenderError("A video's width and height must be even, not " +
                           std::to_string(size.width()) + "x" + std::to_string(size.height()));
    if (!(settings.Fps > 0) || !std::isfinite(settings.Fps))
        throw ERenderError("The video's frame rate must be above 0");
    const auto& presets = VideoPresets();
    if (std::find(presets.begin(), presets.end(), settings.Preset) == presets.end())
        throw ERenderError("There is no video preset \"" + settings.Preset + "\"");
    output_.emplace(path);
    if (output_->PartialPath().empty())
        throw ERenderError("Cannot write \"" + path +
                           "\": a video can only be written to a regular file");
    // Raw frames as QImage::Format_RGB32 holds them: 0xffRRGGBB words, whose
    // bytes lie in memory as B, G, R, unused on a little-endian machine.
    const char* pixelFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "bgr0" : "0rgb";
    const std::string container = containerFor(path);
    commandLine_ = {settings.Program,
                    "-nostdin",
                    "-hide_banner",
                    "-loglevel",
                    "error",
                    "-nostats",
                    "-f",
                    "rawvideo",
                    "-pix_fmt",
                    pixelFormat,
                    "-video_size",
                    std::to_string(size.width()) + "x" + std::to_string(size.height()),
                    "-framerate",
                    numberText(settings.Fps),
                    "-i",
                    "pipe:0",
                    "-an",
                    "-c:v",
                    "libx264",
                    "-preset",
                    settings.Preset,
                    "-pix_fmt",
                    "yuv420p"};
    if (container != "matroska")
        commandLine_.insert(commandLine_.end(), {"-movflags", "+faststart"});
    // "file:" keeps a colon in the path from naming one of ffmpeg's protocols.
    commandLine_.insert(commandLine_.end(),
                        {"-f", container, "-y", "file:" + output_->PartialPath()});
    start();
}

void TVideoEncoder::start() {
    const std::string& program = program_;
    errors_.Reset(memfd_create("ffmpeg-errors", MFD_CLOEXEC));
    if (errors_.Get() < 0)
        throw ERenderError("Cannot start \"" + program + "\": " + reasonText(errno));
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        throw ERenderError("Cannot start \"" + program + "\": " + reasonText(errno));
    TDescriptor readEnd;
    readEnd.Reset(ends[0]);
    pipe_.Reset(ends[1]);
    fcntl(pipe_.Get(), F_SETPIPE_SZ, kPipeSize);

    TSpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.Actions, readEnd.Get(), STDIN_FILENO);
    posix_spawn_file_actions_addopen(&setup.Actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.Actions, errors_.Get(), STDERR_FILENO);
    // A process group of its own: Ctrl+C in the terminal stops this program,
    // whose signal handler removes the partial file; ffmpeg then finds the
    // pipe closed and ends. ffmpeg starts with no signal blocked and the
    // signals that end a program at their default, whatever this program
    // has set for itself.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP})
        sigaddset(&defaults, signal);
    posix_spawnattr_setflags(&setup.Attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                    POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&setup.Attributes, 0);
    posix_spawnattr_setsigmask(&setup.Attributes, &none);
    posix_spawnattr_setsigdefault(&setup.Attributes, &defaults);

    std::vector<char*> arguments;
    for (std::string& argument : commandLine_)
        arguments.push_back(argument.data());
    arguments.push_back(nullptr);
    const int error = posix_spawnp(&pid_, program.c_str(), &setup.Actions, &setup.Attributes,
                                   arguments.data(), environ);
    readEnd.Reset();
    if (error != 0) {
        pid_ = -1;
        if (error == ENOENT)
            throw ERenderError("Cannot make the video: the program \"" + program +
                               "\" was not found; install Debian's ffmpeg package");
        throw ERenderError("Cannot start \"" + program + "\": " + reasonText(error));
    }
    writer_ = std::thread([this] { writeFrames(); });
}

TVideoEncoder::~TVideoEncoder() {
    if (pid_ > 0) {
        // Abandoned: ffmpeg goes at once, and with it any write in progress.
        kill(pid_, SIGKILL);
        {
            const std::lock_guard lock(mutex_);
            closing_ = true;
            queue_.clear();
        }
        changed_.notify_all();
        waitForEncoder();
    }
    // The partial file goes with output_.
}

void TVideoEncoder::writeFrames() {
    // A write to a pipe whose reader has gone raises SIGPIPE, which would end
    // the program; blocked in this thread (and only here), it stays pending
    // until the thread ends, and the write fails with EPIPE instead.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    for (;;) {
        QImage frame;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
            if (queue_.empty())
                return;
            frame = std::move(queue_.front());
            queue_.pop_front();
            sending_ = true;
        }
        int error = 0;
        const bool written = WriteAll(pipe_.Get(), frame.constBits(),
                                      static_cast<std::size_t>(frame.sizeInBytes()), error);
        {
            const std::lock_guard lock(mutex_);
            sending_ = false;
            if (spares_.size() < kQueuedFrames + 1)
                spares_.push_back(std::move(frame));
            if (!written) {
                writeError_ = error;
                queue_.clear();
            }
        }
        changed_.notify_all();
        if (!written)
            return;
    }
}

void TVideoEncoder::Write(QImage frame) {
    if (frame.size() != size_)
        throw ERenderError("A frame of the video has the wrong size");
    if (frame.format() != QImage::Format_RGB32)
        frame.convertTo(QImage::Format_RGB32);
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] {
            return queue_.size() + (sending_ ? 1 : 0) < kQueuedFrames || writeError_ != 0;
        });
        if (writeError_ == 0) {
            queue_.push_back(std::move(frame));
            lock.unlock();
            changed_.notify_all();
            return;
        }
    }
    fail(waitForEncoder());
}

QImage TVideoEncoder::SpareFrame() {
    const std::lock_guard lock(mutex_);
    if (spares_.empty())
        return {};
    QImage frame = std::move(spares_.back());
    spares_.pop_back();
    return frame;
}

void TVideoEncoder::Finish() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    const int status = waitForEncoder();
    if (writeError_ != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(status);
    output_->Commit();
}

int TVideoEncoder::waitForEncoder() {
    if (writer_.joinable())
        writer_.join();
    pipe_.Reset();
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return status;
}

void TVideoEncoder::fail(int status) {
    const std::string said = lastErrorLine();
    std::string message =
        "\"" + program_ + "\" could not make the video \"" + output_->Path() + "\"";
    if (!said.empty())
        message += ": " + said;
    else if (WIFSIGNALED(status))
        message += ": it was stopped by signal " + std::to_string(WTERMSIG(status));
    else if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        message += " (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    else if (writeError_ != 0 && writeError_ != EPIPE)
        message += ": the frames could not be sent: " + reasonText(writeError_);
    else
        message += ": it ended before it had every frame";
    throw ERenderError(message);
}

std::string TVideoEncoder::lastErrorLine() const {
    std::string text;
    char chunk[4096];
    for (off_t at = 0;;) {
        const ssize_t got = pread(errors_.Get(), chunk, sizeof chunk, at);
        if (got <= 0)
            break;
        text.append(chunk, static_cast<std::size_t>(got));
        at += got;
    }
    std::size_t end = text.find_last_not_of(" \t\r\n");
    if (end == std::string::npos)
        return {};
    const std::size_t start = text.find_last_of("\r\n", end);
    std::string line = text.substr(start == std::string::npos ? 0 : start + 1,
                                   end + 1 - (start == std::string::npos ? 0 : start + 1));
    constexpr std::size_t kLongest = 400;
    if (line.size() > kLongest)
        line = line.substr(0, kLongest) + "...";
    return line;
}

} // namespace kova
