#pragma once

#include "cli/CliSupport.h"

namespace kova {

// Each subcommand lives in a unit of its own and adds itself to the program's
// parser; main runs the action of the one that was chosen.
TCliCommand AddDumpCommand(CLI::App& app);
TCliCommand AddBuildCommand(CLI::App& app);
TCliCommand AddExportCommand(CLI::App& app);
TCliCommand AddRunCommand(CLI::App& app);
TCliCommand AddBenchCommand(CLI::App& app);
TCliCommand AddSweepCommand(CLI::App& app);
TCliCommand AddRenderCommand(CLI::App& app);

} // namespace kova
