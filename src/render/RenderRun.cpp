#include "render/RenderRun.h"

#include "foundations/OutputFile.h"
#include "render/VideoEncoder.h"
#include "simulation/Simulation.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

namespace kova {

namespace {

namespace fs = std::filesystem;

std::string picturePath(const std::string& folder, std::uint64_t index) {
    return (fs::path(folder) / PictureName(index)).string();
}

} // namespace

void WritePicture(TOutputFile& output, const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG"))
        throw ERenderError("Cannot write \"" + output.Path() + "\": the picture cannot be encoded");
    output.Stream().write(bytes.constData(), bytes.size());
    output.Commit();
}

void SavePicture(const QImage& picture, const std::string& path) {
    TOutputFile output(path);
    WritePicture(output, picture);
}

std::string PictureName(std::uint64_t index) {
    char name[40];
    std::snprintf(name, sizeof name, "frame-%06llu.png", static_cast<unsigned long long>(index));
    return name;
}

TRenderResult RenderRun(TSimulation& simulation, const TRenderOptions& options,
                        const TRenderProgress& progress) {
    if (options.PngFolder.empty() == options.Video.empty())
        throw ERenderError("Give either a folder for pictures or a video file");
    if (options.Every == 0)
        throw ERenderError("Frames are recorded every 1 or more frames");
    const std::uint64_t recordable = options.Frames / options.Every;
    if (recordable == 0)
        throw ERenderError("The span of " + std::to_string(options.Frames) +
                           " frames holds no frame to record");
    const bool video = !options.Video.empty();
    TFrameOptions frameOptions = options.Frame;
    frameOptions.EvenSize = frameOptions.EvenSize || video;
    TArenaRenderer renderer(simulation, frameOptions);

    // Every output is opened before the first step, so that one that cannot
    // be written stops the work before the frames are spent.
    std::unique_ptr<TVideoEncoder> encoder;
    std::optional<TOutputFile> nextPicture;
    if (video) {
        TVideoSettings settings;
        settings.Size = renderer.Layout().Frame;
        settings.Fps = options.Fps > 0 ? options.Fps : simulation.FPS;
        settings.Preset = options.Preset;
        settings.Program = options.Encoder;
        encoder = std::make_unique<TVideoEncoder>(options.Video, settings);
    } else {
        std::error_code error;
        fs::create_directories(options.PngFolder, error);
        if (error)
            throw ERenderError("Cannot create the folder \"" + options.PngFolder +
                               "\": " + error.message());
        nextPicture.emplace(picturePath(options.PngFolder, 0));
    }

    TRenderResult result;
    result.FrameSize = renderer.Layout().Frame;
    for (std::uint64_t frame = 1; frame <= options.Frames; ++frame) {
        renderer.Step();
        if (frame % options.Every == 0) {
            if (encoder) {
                QImage frame = encoder->SpareFrame();
                renderer.DrawFrame(frame);
                encoder->Write(std::move(frame));
            } else {
                if (!nextPicture)
                    nextPicture.emplace(picturePath(options.PngFolder, result.Recorded));
                WritePicture(*nextPicture, renderer.Frame());
                nextPicture.reset();
            }
            ++result.Recorded;
        }
        if (progress && !progress(frame, options.Frames)) {
            result.Completed = false;
            return result;
        }
    }
    if (encoder)
        encoder->Finish();
    return result;
}

} // namespace kova
