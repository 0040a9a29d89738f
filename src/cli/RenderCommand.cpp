#include "cli/Commands.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace kova {

namespace {

// kova-cli stays free of Qt: pictures and videos come from the program
// kova-render, installed beside it, which takes the same arguments.
int render(const std::vector<std::string>& arguments) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    const fs::path renderer = self.parent_path() / "kova-render";
    if (error || access(renderer.c_str(), X_OK) != 0)
        throw std::runtime_error(
            "pictures and videos are made by kova-render, which is not "
            "installed beside kova-cli" +
            (error ? std::string() : " in \"" + self.parent_path().string() + "\""));
    std::vector<std::string> words = {"kova-render"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::cout.flush();
    execv(renderer.c_str(), argv.data());
    throw std::runtime_error("cannot start \"" + renderer.string() + "\": " + std::strerror(errno));
}

} // namespace

TCliCommand AddRenderCommand(CLI::App& app) {
    CLI::App* command = app.add_subcommand(
        "render", "Pictures and video of a run (runs kova-render with the same arguments)");
    // Every argument, --help included, goes to kova-render unread.
    command->prefix_command();
    command->set_help_flag();
    return {command, [command] { return render(command->remaining()); }, {}};
}

} // namespace kova
