#include "cli/Commands.h"
#include "cli/SceneJson.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"

#include <iostream>
#include <memory>

namespace kova {

namespace {

struct TDumpOptions {
    std::string File;
};

int dump(const TDumpOptions& options) {
    TSimulation simulation;
    OpenSimulationFile(simulation, options.File);
    std::cout << WriteSceneText(DumpSimulation(simulation)) << std::flush;
    if (!std::cout)
        throw std::runtime_error("Cannot write the standard output");
    return 0;
}

} // namespace

TCliCommand AddDumpCommand(CLI::App& app) {
    auto options = std::make_shared<TDumpOptions>();
    CLI::App* command =
        app.add_subcommand("dump", "Print a simulation file as a JSON scene, every stored field");
    command->add_option("FILE", options->File, "simulation file (.kvz)")
        ->required()
        ->type_name("FILE");
    command->footer(BuildSceneHelp());
    return {command, [options] { return dump(*options); },
            [options] { return QuotedPath(options->File); }};
}

} // namespace kova
