// kova-render: pictures and videos of a run, drawn off screen as the desktop
// program's arena shows them.
#include "cli/CliSupport.h"
#include "foundations/Matrix.h"
#include "foundations/OutputFile.h"
#include "render/RenderRun.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"

#include <QGuiApplication>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>

namespace {

using namespace kova;

struct TRenderCommand {
    std::string File;
    std::string Until;
    std::uint32_t Every = 1;
    std::string Size;
    double Scale = 1;
    bool Trails = false;
    bool TimeStamp = false;
    bool StatisticsOverlay = false;
    std::string Png;
    std::string Video;
    double Fps = 0;
    std::string Preset = TVideoSettings().Preset;
};

bool parseSize(const std::string& text, QSize& size) {
    unsigned width = 0;
    unsigned height = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%5ux%5u%c", &width, &height, &end) != 2 || text[0] == '+' ||
        text.find_first_not_of("0123456789x") != std::string::npos || width == 0 || height == 0)
        return false;
    size = QSize(static_cast<int>(width), static_cast<int>(height));
    return true;
}

const CLI::Validator& sizeValidator() {
    static const CLI::Validator validator(
        [](std::string& text) -> std::string {
            QSize size;
            return parseSize(text, size) ? std::string()
                                         : "expected WIDTHxHEIGHT, for example 1920x1080";
        },
        "");
    return validator;
}

const CLI::Validator& positiveNumber() {
    static const CLI::Validator validator(
        [](const std::string& text) {
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            return end != text.c_str() && *end == '\0' && value > 0 && std::isfinite(value)
                       ? std::string()
                       : "it must be a number above 0";
        },
        "");
    return validator;
}

void report(std::uint64_t recorded, QSize size, std::chrono::duration<double> elapsed) {
    const double seconds = std::max(elapsed.count(), 1e-9);
    char line[256];
    std::snprintf(line, sizeof line, "Rendered %llu frames of %dx%d in %.3f s: %.1f frames/s\n",
                  static_cast<unsigned long long>(recorded), size.width(), size.height(),
                  elapsed.count(), static_cast<double>(recorded) / seconds);
    std::cerr << line;
}

void qtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << "kova-render: " << message.toLocal8Bit().constData() << '\n';
}

int render(const TRenderCommand& command) {
    if (!command.Video.empty())
        CheckOutputsAreDistinct({command.File}, {command.Video});
    TSimulation simulation;
    OpenSimulationFile(simulation, command.File);

    TRenderOptions options;
    const TClockTime until = ParseClockTime(command.Until);
    // Counted in frames, as "kova-cli run" counts them: the loop point may
    // turn the clock back before it shows the time asked for.
    options.Frames = std::uint64_t{until.Second} * simulation.FPS + until.Frame;
    options.Every = command.Every;
    if (!command.Size.empty()) {
        QSize size;
        parseSize(command.Size, size);
        options.Frame.Size = size;
    }
    options.Frame.Scale = command.Scale;
    options.Frame.Trails = command.Trails;
    options.Frame.TimeStamp = command.TimeStamp;
    options.Frame.StatisticsOverlay = command.StatisticsOverlay;
    options.PngFolder = command.Png;
    options.Video = command.Video;
    options.Fps = command.Fps;
    options.Preset = command.Preset;

    TProgress progress("Frame", options.Frames);
    const auto start = std::chrono::steady_clock::now();
    const TRenderResult result =
        RenderRun(simulation, options, [&progress](std::uint64_t done, std::uint64_t) {
            progress.Update(done);
            return true;
        });
    const auto elapsed = std::chrono::steady_clock::now() - start;
    report(result.Recorded, result.FrameSize, elapsed);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    kova::InitVectors(2);
    kova::InstallPartialFileCleanup();

    TRenderCommand command;
    CLI::App app("kova-render: pictures and videos of a Kova simulation's run, drawn off screen "
                 "as the desktop program shows the arena.");
    app.footer(
        "Runs the simulation from 0:0 for SEC * FPS + FRAME frames, as \"kova-cli run\" does,\n"
        "and records frames N, 2N, ... of them (N = --every), each as the arena stands after\n"
        "that frame's step. A frame shows the whole arena: at its size in pixels, times\n"
        "--scale, or scaled to fit --size and centred on black. Below a scale of 1 the arena\n"
        "is drawn reduced as the desktop program draws it when zoomed out; above 1 every\n"
        "pixel of the arena becomes a sharp square, as when zoomed in.\n"
        "--png writes frame-000000.png, frame-000001.png, ... into the folder (created if\n"
        "missing). --video makes an H.264 video (MP4; Matroska for .mkv, QuickTime for .mov)\n"
        "with Debian's ffmpeg, whose width and height must be even: an odd --size is\n"
        "refused, and a frame of the arena times --scale gets a pixel of margin where it\n"
        "would be odd. The video replaces OUT only once it is complete.\n"
        "Progress goes to stderr when it is a terminal, and the speed at the end.");
    app.add_option("FILE", command.File, "simulation file (.kvz)")->required()->type_name("FILE");
    app.add_option("--until", command.Until, "how long to run")
        ->required()
        ->type_name("SEC:FRAME")
        ->check(ClockTimeValidator());
    app.add_option("--every", command.Every, "record every N-th frame (default 1)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1000000000u));
    CLI::Option* size =
        app.add_option("--size", command.Size, "frame size; the arena is scaled to fit")
            ->type_name("WxH")
            ->check(sizeValidator());
    CLI::Option* scale = app.add_option("--scale", command.Scale,
                                        "frame pixels per arena pixel, e.g. 0.5 or 2 (default 1)")
                             ->type_name("S")
                             ->check(positiveNumber());
    size->excludes(scale);
    app.add_flag("--trails", command.Trails, "do not clear the arena between frames");
    app.add_flag("--time-stamp", command.TimeStamp, "the simulation clock in the top-right corner");
    app.add_flag("--stats-overlay", command.StatisticsOverlay,
                 "each group's polarisation, milling and clusters in the top-left corner");
    CLI::Option* png =
        app.add_option("--png", command.Png, "folder for numbered PNG pictures")->type_name("DIR");
    CLI::Option* video =
        app.add_option("--video", command.Video, "video file to make")->type_name("OUT.mp4");
    png->excludes(video);
    app.add_option("--fps", command.Fps,
                   "the video's frames per second (default: the simulation's FPS)")
        ->type_name("F")
        ->check(positiveNumber())
        ->needs(video);
    app.add_option("--preset", command.Preset,
                   "x264's speed against file size (default " + command.Preset + ")")
        ->type_name("NAME")
        ->check(CLI::IsMember(VideoPresets()))
        ->needs(video);

    try {
        app.parse(argc, argv);
        if (png->count() + video->count() != 1)
            throw CLI::RequiredError("--png DIR or --video OUT.mp4");
        QSize frame;
        if (video->count() > 0 && parseSize(command.Size, frame) &&
            (frame.width() % 2 != 0 || frame.height() % 2 != 0))
            throw CLI::ValidationError("--size", "a video's width and height must be even");
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : kova::kExitUsage;
    }

    // Fonts and images need a QGuiApplication; without a display it draws
    // off screen. Qt sees no arguments of the command line, and only its
    // errors reach stderr: its warnings (such as a missing runtime folder)
    // say nothing about the pictures.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(qtMessage);
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QGuiApplication application(qtArgc, qtArgv);

    const kova::TCliCommand action{&app, [&command] { return render(command); },
                                   [&command] { return kova::QuotedPath(command.File); }};
    return kova::RunCliAction(action, "kova-render");
}
