#pragma once

#include "cli/SceneJson.h"
#include "foundations/Streams.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace kova::test {

using Bytes = std::vector<std::uint8_t>;

// The file the program would save, from the simulation (which saving rewinds).
inline Bytes FileBytes(TSimulation& simulation) {
    TMemoryStream stream;
    WriteSimulationFile(simulation, stream);
    return stream.Bytes();
}

inline std::unique_ptr<TSimulation> LoadBytes(const Bytes& bytes) {
    auto simulation = std::make_unique<TSimulation>();
    TMemoryStream stream(bytes);
    ReadSimulationFile(*simulation, stream);
    return simulation;
}

// Builds the scene text and checks that the file the program would save from
// the result opens again and saves to the same bytes: an accepted scene never
// gives a file the program refuses or reads differently.
inline std::unique_ptr<TSimulation> BuildLoadable(const std::string& scene) {
    auto built = BuildSimulation(ParseSceneText(scene));
    const Bytes saved = FileBytes(*built);
    try {
        EXPECT_EQ(FileBytes(*LoadBytes(saved)), saved) << "the built file reads back differently";
    } catch (const EStreamError& error) {
        ADD_FAILURE() << "the built file does not open: " << error.what();
    }
    return built;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ExamplePath(const std::string& name) {
    return std::string(KOVA_SIMULATIONS_DIR) + "/" + name;
}

inline const std::vector<std::string>& ExampleNames() {
    static const std::vector<std::string> names = {"flock", "predator-prey", "obstacle-course",
                                                   "triggers"};
    return names;
}

// A folder of its own for one test, removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kova-cli-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& Path() const { return path_; }

    // The names of the files in the folder, sorted.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

// One run of the kova-cli program: its exit status and what it wrote.
struct CliResult {
    int Status = -1;
    std::string Out;
    std::string Err;
};

inline std::string Quoted(const std::string& argument) {
    std::string quoted = "'";
    for (const char c : argument) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

// Runs a program with the arguments, and with `environment` ("NAME=value"
// settings) added to its environment; stdout and stderr go through files in
// the folder (which are removed again).
inline CliResult RunProgram(const std::string& program, const TempFolder& folder,
                            const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment = {}) {
    const std::filesystem::path out = folder / ".stdout";
    const std::filesystem::path err = folder / ".stderr";
    // Appended piece by piece: GCC 12 at -O3 warns wrongly about
    // "literal" + std::string temporaries (-Wrestrict).
    std::string command;
    for (const std::string& setting : environment) {
        // The name stays unquoted, or the shell takes it for the command.
        const std::size_t equals = setting.find('=');
        command += setting.substr(0, equals + 1);
        command += Quoted(setting.substr(equals + 1));
        command += ' ';
    }
    command += Quoted(program);
    for (const std::string& argument : arguments) {
        command += ' ';
        command += Quoted(argument);
    }
    command += " >";
    command += Quoted(out.string());
    command += " 2>";
    command += Quoted(err.string());
    command += " </dev/null";
    const int status = std::system(command.c_str());
    CliResult result;
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Out = ReadFile(out);
    result.Err = ReadFile(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

// Runs kova-cli with the arguments.
inline CliResult RunCli(const TempFolder& folder, const std::vector<std::string>& arguments) {
    return RunProgram(KOVA_CLI_PATH, folder, arguments);
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace kova::test
