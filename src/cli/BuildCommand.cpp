#include "cli/Commands.h"
#include "cli/SceneJson.h"
#include "foundations/OutputFile.h"
#include "foundations/Streams.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"

#include <memory>
#include <vector>

namespace kova {

namespace {

struct TBuildOptions {
    std::string Scene;
    std::string Output;
};

// The file's bytes, checked by loading them back: a build never writes a
// file that the program would refuse to open.
std::vector<std::uint8_t> checkedFileBytes(TSimulation& simulation, const std::string& scene) {
    TMemoryStream bytes;
    WriteSimulationFile(simulation, bytes);
    bytes.SetPosition(0);
    TSimulation reloaded;
    try {
        ReadSimulationFile(reloaded, bytes);
    } catch (const EStreamError& error) {
        throw ESceneError(scene + ": the built simulation would not open again: " + error.what());
    }
    return bytes.Bytes();
}

int build(const TBuildOptions& options) {
    CheckOutputsAreDistinct({options.Scene}, {options.Output});
    TOutputFile output(options.Output);
    std::unique_ptr<TSimulation> simulation;
    try {
        simulation = BuildSimulation(ParseSceneText(ReadTextFile(options.Scene)));
    } catch (const ESceneError& error) {
        throw ESceneError(options.Scene + ": " + error.what());
    }
    const std::vector<std::uint8_t> bytes = checkedFileBytes(*simulation, options.Scene);
    output.Stream().write(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<std::streamsize>(bytes.size()));
    output.Commit();
    return 0;
}

} // namespace

TCliCommand AddBuildCommand(CLI::App& app) {
    auto options = std::make_shared<TBuildOptions>();
    CLI::App* command = app.add_subcommand(
        "build", "Write the simulation file a JSON scene describes (the inverse of dump)");
    command->add_option("SCENE", options->Scene, "JSON scene")->required()->type_name("FILE");
    command
        ->add_option(
            "OUT", options->Output,
            "simulation file to write (.kvz), \"-\" for stdout; replaced only once complete")
        ->required()
        ->type_name("FILE");
    command->footer(BuildSceneHelp());
    return {command, [options] { return build(*options); },
            [options] { return QuotedPath(options->Scene); }};
}

} // namespace kova
