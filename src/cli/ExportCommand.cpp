#include "cli/Commands.h"
#include "foundations/OutputFile.h"
#include "simulation/MotionExport.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"

#include <filesystem>
#include <memory>
#include <system_error>

namespace kova {

namespace {

struct TExportOptions {
    std::string File;
    std::string Group;
    std::string Until;
    int Every = 1;
    std::string DecimalSeparator = ".";
    std::string Output;
    unsigned Threads = 0;
};

TBugGroup& findGroup(TSimulation& simulation, const TExportOptions& options) {
    // Names may repeat; the export dialog lists groups in order, so the first
    // of a name is the one a user would reach first.
    for (const auto& group : simulation.Groups)
        if (group->Name == options.Group)
            return *group;
    throw std::runtime_error("No group named \"" + options.Group + "\" in \"" + options.File +
                             "\"");
}

// The scratch file of a long export goes beside the output, where the output
// itself has to find room too. Standard output, devices and pipes leave it to
// the temporary folder.
std::string scratchFolder(const std::string& output) {
    if (output == "-")
        return {};
    std::error_code error;
    std::filesystem::path target = std::filesystem::weakly_canonical(output, error);
    if (error)
        target = std::filesystem::absolute(output, error);
    const std::filesystem::file_status status = std::filesystem::status(target, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        return {};
    return target.parent_path().string();
}

// What the export dialog does: "Record" over the span from 0:0, "Apply" with
// the frame step, then "Save...". The text is streamed, so the memory taken
// does not grow with the span.
int exportMotion(const TExportOptions& options) {
    const std::string outputPath = options.Output.empty() ? "-" : options.Output;
    CheckOutputsAreDistinct({options.File}, {outputPath});
    TOutputFile output(outputPath);

    TSimulation simulation;
    OpenSimulationFile(simulation, options.File);
    simulation.SetThreads(ThreadsToUse(options.Threads));
    TBugGroup& group = findGroup(simulation, options);
    const TClockTime until = ParseClockTime(options.Until);
    const std::uint32_t lastFrame = SpanLastFrame({until.Second, until.Frame}, simulation.FPS);
    CheckMotionLimits(group, lastFrame);

    TMotionExportSettings settings;
    settings.Every = options.Every;
    settings.DecimalSeparator = options.DecimalSeparator[0];
    settings.ScratchFolder = scratchFolder(outputPath);
    {
        TProgress progress("Recording frame", std::uint64_t{lastFrame} + 1);
        settings.Progress = [&progress](std::uint32_t done, std::uint32_t) {
            progress.Update(done);
            return true;
        };
        WriteMotionKmd(simulation, group, lastFrame, output.Stream(), settings);
    }
    output.Commit();
    return 0;
}

} // namespace

TCliCommand AddExportCommand(CLI::App& app) {
    auto options = std::make_shared<TExportOptions>();
    CLI::App* command = app.add_subcommand(
        "export", "Record one group's motion from 0:0 and write it as motion data (kmd)");
    command->footer(
        "Does what the export dialog's Record, Apply and Save... do: the simulation is rewound,\n"
        "only the group's members are stepped, once per frame from 0 to SEC * FPS + FRAME, and\n"
        "the clock stays at 0:0 while recording (so only triggers timed 0:0 fire). Progress is\n"
        "shown on stderr when it is a terminal. Memory stays bounded: kept positions beyond\n"
        "64 MB wait in a scratch file beside the output (in $TMPDIR or /tmp for stdout), which\n"
        "is unlinked as soon as it is created and so is never left behind.");
    command->add_option("FILE", options->File, "simulation file (.kvz)")
        ->required()
        ->type_name("FILE");
    command->add_option("--group", options->Group, "name of the group (the first of that name)")
        ->required()
        ->type_name("NAME");
    command
        ->add_option("--until", options->Until,
                     "end of the span; a frame above FPS - 1 is lowered to FPS - 1")
        ->required()
        ->type_name("SEC:FRAME")
        ->check(ClockTimeValidator());
    command
        ->add_option("--every", options->Every,
                     "keep every N-th frame, 1 to 100 (frame 0 and the last frame always stay)")
        ->type_name("N")
        ->check(CLI::Range(1, 100).description(""));
    command
        ->add_option("--decimal-separator", options->DecimalSeparator,
                     "decimal separator of the coordinates (default \".\")")
        ->type_name("C")
        ->check(CLI::Validator(
            [](std::string& text) {
                return text.size() == 1 ? std::string() : std::string("expected one character");
            },
            ""));
    command
        ->add_option("-o,--output", options->Output,
                     "kmd file to write, replaced only once it is complete; \"-\" or none: stdout")
        ->type_name("FILE");
    AddThreadsOption(command, options->Threads);
    return {command, [options] { return exportMotion(*options); },
            [options] { return QuotedPath(options->File); }};
}

} // namespace kova
