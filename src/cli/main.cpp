#include "cli/Commands.h"
#include "foundations/Matrix.h"
#include "foundations/OutputFile.h"

#include <iterator>
#include <vector>

namespace {

using TAddCommand = kova::TCliCommand (*)(CLI::App&);

// Every subcommand of the program, in the order "--help" lists them.
constexpr TAddCommand kCommands[] = {
    kova::AddDumpCommand,  kova::AddBuildCommand, kova::AddExportCommand, kova::AddRunCommand,
    kova::AddSweepCommand, kova::AddBenchCommand, kova::AddRenderCommand,
};

} // namespace

int main(int argc, char** argv) {
    kova::InitVectors(2);
    kova::InstallPartialFileCleanup();

    CLI::App app(
        "kova-cli: inspect, build, run, sweep and export Kova simulations without a window.");
    app.require_subcommand(1);
    std::vector<kova::TCliCommand> commands;
    for (const TAddCommand add : kCommands)
        commands.push_back(add(app));

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Help exits with 0; every mistake on the command line with 2.
        return app.exit(error) == 0 ? 0 : kova::kExitUsage;
    }
    for (const kova::TCliCommand& command : commands)
        if (command.Command->parsed())
            return kova::RunCliAction(command);
    return kova::kExitUsage;
}
