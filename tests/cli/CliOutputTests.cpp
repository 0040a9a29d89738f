#include "CliTestSupport.h"

#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace kova::test {
namespace {

namespace fs = std::filesystem;

// Every file in the folder with its bytes, to see that nothing changed.
std::map<std::string, std::string> Contents(const TempFolder& folder) {
    std::map<std::string, std::string> contents;
    for (const std::string& name : folder.Files())
        contents[name] = fs::is_regular_file(folder / name) ? ReadFile(folder / name) : "<other>";
    return contents;
}

bool HasPartialFile(const TempFolder& folder) {
    for (const std::string& name : folder.Files())
        if (name.find(".kova-partial") != std::string::npos)
            return true;
    return false;
}

// Starts kova-cli with the cleanup signals at their defaults, stderr into a
// file and an optional limit on its address space; returns the process id.
pid_t StartCli(const std::vector<std::string>& arguments, const fs::path& errors,
               rlim_t addressSpace = RLIM_INFINITY) {
    const pid_t pid = fork();
    if (pid == 0) {
        for (const int signal : {SIGINT, SIGTERM})
            std::signal(signal, SIG_DFL);
        const rlimit limit{addressSpace, addressSpace};
        setrlimit(RLIMIT_AS, &limit);
        std::freopen("/dev/null", "w", stdout);
        std::freopen(errors.c_str(), "w", stderr);
        std::vector<char*> argv{const_cast<char*>(KOVA_CLI_PATH)};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(KOVA_CLI_PATH, argv.data());
        _exit(127);
    }
    return pid;
}

TEST(CliOutputs, AnOutputThatIsAnInputOrAnotherOutputIsRefusedAndNothingChanges) {
    TempFolder folder;
    const std::string a = (folder / "A.kvz").string();
    const std::string scene = (folder / "S.json").string();
    fs::copy_file(ExamplePath("triggers.kvz"), a);
    fs::copy_file(ExamplePath("scenes/triggers.json"), scene);
    fs::create_hard_link(a, folder / "H.kvz");
    fs::create_symlink("A.kvz", folder / "L.kvz");
    const std::string x = (folder / "X").string();
    const std::map<std::string, std::string> before = Contents(folder);

    const std::vector<std::vector<std::string>> commands = {
        {"export", a, "--group", "Swarm", "--until", "0:5", "-o", a},
        {"run", a, "--until", "0:5", "--state", a},
        {"run", a, "--until", "0:5", "--trace", (folder.Path() / "." / "A.kvz").string()},
        {"run", a, "--until", "0:5", "--state", (folder / "H.kvz").string()},
        {"run", (folder / "L.kvz").string(), "--until", "0:5", "--trace", a},
        {"run", a, "--until", "0:5", "--trace", x, "--state", x},
        {"build", scene, scene},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0] + " ... " + command.back());
        const CliResult result = RunCli(folder, command);
        EXPECT_EQ(result.Status, 1);
        EXPECT_EQ(result.Err.rfind("kova-cli: Cannot write ", 0), 0U) << result.Err;
        EXPECT_TRUE(Contents(folder) == before) << "a file changed";
    }
}

TEST(CliOutputs, AFailingRunLeavesEveryOutputAsItWas) {
    TempFolder folder;
    WriteFile(folder / "t.csv", "old trace");
    fs::create_directory(folder / "DIR");
    const CliResult result =
        RunCli(folder, {"run", ExamplePath("triggers.kvz"), "--until", "0:5", "--trace",
                        (folder / "t.csv").string(), "--state", (folder / "DIR").string()});
    EXPECT_EQ(result.Status, 1);
    EXPECT_EQ(result.Err,
              "kova-cli: Cannot write \"" + (folder / "DIR").string() + "\": it is a folder\n");
    EXPECT_EQ(ReadFile(folder / "t.csv"), "old trace");
    EXPECT_EQ(folder.Files(), (std::vector<std::string>{"DIR", "t.csv"}));
}

TEST(CliOutputs, AStoppedRunLeavesNoPartialFilesBehind) {
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        TempFolder folder;
        WriteFile(folder / "t.csv", "old trace");
        const pid_t pid =
            StartCli({"run", ExamplePath("flock.kvz"), "--until", "100000:0", "--trace",
                      (folder / "t.csv").string(), "--state", (folder / "s.json").string()},
                     "/dev/null");
        ASSERT_GT(pid, 0);
        // The partial files are made before the first frame.
        for (int wait = 0; wait < 500 && !HasPartialFile(folder); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(HasPartialFile(folder));
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(folder.Files(), std::vector<std::string>{"t.csv"});
        EXPECT_EQ(ReadFile(folder / "t.csv"), "old trace");
    }
}

TEST(CliOutputs, StandardOutputIsTheDash) {
    TempFolder folder;
    const CliResult built = RunCli(folder, {"build", ExamplePath("scenes/triggers.json"), "-"});
    ASSERT_EQ(built.Status, 0) << built.Err;
    EXPECT_EQ(built.Out, ReadFile(ExamplePath("triggers.kvz")));
    EXPECT_TRUE(folder.Files().empty());
}

TEST(CliErrors, FoldersAndLackOfMemoryAreExplainedInASentence) {
    TempFolder folder;
    const std::string dir = folder.Path().string();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"dump", dir}, "kova-cli: Cannot open file \"" + dir + "\": it is a folder\n"},
        {{"build", dir, (folder / "out.kvz").string()},
         "kova-cli: Cannot read \"" + dir + "\": it is a folder\n"},
    };
    for (const auto& [arguments, message] : cases) {
        const CliResult result = RunCli(folder, arguments);
        EXPECT_EQ(result.Status, 1);
        EXPECT_EQ(result.Err, message);
    }
#if !defined(__SANITIZE_ADDRESS__)
    // The sanitizers' runtime needs far more address space than any limit here.
    const fs::path errors = folder / "errors.txt";
    const pid_t pid = StartCli(
        {"bench", "--workload", "flock", "--bugs", "10000000", "--frames", "1"}, errors, 1 << 30);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(ReadFile(errors),
              "kova-cli: there is not enough memory to work on a workload of 10000000 bugs\n");
#endif
}

} // namespace
} // namespace kova::test
