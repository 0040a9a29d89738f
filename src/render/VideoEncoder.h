#pragma once

#include "foundations/OutputFile.h"

#include <QImage>
#include <QSize>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace kova {

// Makes an H.264 video of frames with Debian's ffmpeg program, started with a
// pipe on its standard input that takes the frames as raw pixels.
//
// ffmpeg on a pipe rather than libavcodec in the process: the program has no
// link-time dependency on the libav* libraries, whose interfaces change from
// release to release, and the encoder runs in a process of its own, on the
// other core, while this one steps and draws the next frames. A thread of
// this process feeds the pipe, so drawing does not wait for the encoder
// either until two frames are queued.
//
// The video goes through TOutputFile: ffmpeg writes the partial file beside
// the target, which replaces the target only once ffmpeg has ended well. An
// encoder destroyed before Finish stops ffmpeg and leaves no file behind.
struct TVideoSettings {
    // Even width and height.
    QSize Size;
    double Fps = 25;
    // x264's trade between speed and file size, "ultrafast" to "veryslow".
    // For 1080p frames of a 10,000-bug flock, stepping (about 17 ms),
    // drawing and encoding with ultrafast take about 40 ms of processor time
    // a frame, so that a run keeps about 25 frames a second even on one core
    // and over 40 on two; superfast needs a quarter more time for files a
    // sixth smaller, veryfast two thirds more for files less than half the
    // size.
    std::string Preset = "ultrafast";
    // The encoder program, looked up on the PATH.
    std::string Program = "ffmpeg";
};

// The x264 presets, fastest first.
const std::vector<std::string>& VideoPresets();

class TVideoEncoder {
public:
    // The target may end in ".mkv" (Matroska) or ".mov" (QuickTime);
    // anything else is written as MP4. Checks the target (EStreamError when
    // it cannot be written), then starts the program; throws ERenderError
    // when the size is odd, the frame rate not above 0, the preset unknown or
    // the program cannot be started.
    TVideoEncoder(const std::string& path, const TVideoSettings& settings);
    ~TVideoEncoder();
    TVideoEncoder(const TVideoEncoder&) = delete;
    TVideoEncoder& operator=(const TVideoEncoder&) = delete;

    // Queues a frame of the encoder's size (converted to
    // QImage::Format_RGB32 if it is not in it); waits while two frames are
    // waiting or being sent.
    // Throws ERenderError once ffmpeg has failed.
    void Write(QImage frame);
    // A frame the encoder has sent and no longer needs, to be drawn anew and
    // written again; a null image when there is none yet.
    QImage SpareFrame();
    // Every frame encoded and ffmpeg ended well: the video replaces the
    // target. Throws ERenderError with ffmpeg's last message otherwise, or
    // EStreamError when the video cannot be put in place.
    void Finish();

    // The program and its arguments as started.
    const std::vector<std::string>& CommandLine() const { return commandLine_; }

private:
    void start();
    void writeFrames();
    // Closes the pipe and waits for ffmpeg to end; its wait status.
    int waitForEncoder();
    [[noreturn]] void fail(int status);
    std::string lastErrorLine() const;

    std::optional<TOutputFile> output_;
    QSize size_;
    std::string program_;
    std::vector<std::string> commandLine_;
    // A file descriptor, closed when replaced or destroyed (also when the
    // constructor fails half-way).
    class TDescriptor {
    public:
        TDescriptor() = default;
        ~TDescriptor() { Reset(); }
        TDescriptor(const TDescriptor&) = delete;
        TDescriptor& operator=(const TDescriptor&) = delete;
        int Get() const { return fd_; }
        void Reset(int fd = -1);

    private:
        int fd_ = -1;
    };

    pid_t pid_ = -1;
    // The pipe's end that takes the frames.
    TDescriptor pipe_;
    // ffmpeg's standard error, kept for the message of a failure.
    TDescriptor errors_;

    std::thread writer_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<QImage> queue_;
    // The writer is sending a frame taken from the queue.
    bool sending_ = false;
    std::vector<QImage> spares_;
    bool closing_ = false;
    // The errno of a failed write to the pipe, 0 while all went well.
    int writeError_ = 0;
};

} // namespace kova
