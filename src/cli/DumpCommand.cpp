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
    CLI::App* command = app.add_subcommand(
        "dump", "Print a simulation file as a JSON scene: every stored field, with 80-bit "
                "floats in decimals that read back to the same bits (see \"build --help\").");
    command->add_option("FILE", options->File, "simulation file (.kvz)")->required();
    return {command, [options] { return dump(*options); }};
}

} // namespace kova
