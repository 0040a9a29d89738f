#pragma once

#include "render/ArenaRenderer.h"
#include "render/VideoEncoder.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kova {

class TOutputFile;
class TSimulation;

// What RenderRun makes of a run.
struct TRenderOptions {
    TFrameOptions Frame;
    // The span: this many frames are stepped from where the simulation
    // stands (a time SEC:FRAME from 0:0 is SEC * FPS + FRAME frames).
    std::uint64_t Frames = 0;
    // Frames Every, 2 * Every, ... of the span (counted from 1) are recorded,
    // each as the picture after that frame's step: the bugs after the step,
    // the clock after the frame.
    std::uint32_t Every = 1;
    // Exactly one of the two: a folder for the pictures frame-000000.png,
    // frame-000001.png, ... (numbered in the order they are recorded; the
    // folder is created if missing), or a video file.
    std::string PngFolder;
    std::string Video;
    // The video's frames per second; 0 takes the simulation's FPS.
    double Fps = 0;
    // The x264 preset and the encoder program (see TVideoSettings).
    std::string Preset = TVideoSettings().Preset;
    std::string Encoder = "ffmpeg";
};

// After every stepped frame: how many of the span's frames are done. Returning
// false stops the rendering.
using TRenderProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

struct TRenderResult {
    std::uint64_t Recorded = 0;
    QSize FrameSize;
    // False when the progress callback stopped it: no video is written, the
    // pictures already written stay.
    bool Completed = true;
};

// Steps the simulation through the span with a TArenaRenderer and writes the
// recorded frames. Every output is refused before the first step when it
// cannot be written; each picture, and the video, is written through
// TOutputFile, so no half-written file is left behind. Throws ERenderError
// or EStreamError with a message for the user.
TRenderResult RenderRun(TSimulation& simulation, const TRenderOptions& options,
                        const TRenderProgress& progress = {});

// Writes the picture as PNG through the output, committing it; throws
// ERenderError or EStreamError.
void WritePicture(TOutputFile& output, const QImage& picture);
// The same to a new output file at the path.
void SavePicture(const QImage& picture, const std::string& path);

// The name of the index-th picture in a PNG folder: "frame-000042.png".
std::string PictureName(std::uint64_t index);

} // namespace kova
