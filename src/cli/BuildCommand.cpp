#include "cli/Commands.h"
#include "cli/SceneJson.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"

#include <memory>

namespace kova {

namespace {

struct TBuildOptions {
    std::string Scene;
    std::string Output;
};

int build(const TBuildOptions& options) {
    std::unique_ptr<TSimulation> simulation;
    try {
        simulation = BuildSimulation(ParseSceneText(ReadTextFile(options.Scene)));
    } catch (const ESceneError& error) {
        throw ESceneError(options.Scene + ": " + error.what());
    }
    SaveSimulationFile(*simulation, options.Output);
    return 0;
}

} // namespace

TCliCommand AddBuildCommand(CLI::App& app) {
    auto options = std::make_shared<TBuildOptions>();
    CLI::App* command = app.add_subcommand(
        "build", "Write the simulation file a JSON scene describes (the inverse of dump)");
    command->add_option("SCENE", options->Scene, "JSON scene")->required()->type_name("FILE");
    command
        ->add_option("OUT", options->Output,
                     "simulation file to write (.kvz); it is replaced only once it is complete")
        ->required()
        ->type_name("FILE");
    command->footer(BuildSceneHelp());
    return {command, [options] { return build(*options); }};
}

} // namespace kova
