#include "AllocationCounter.h"
#include "SimulationFileTestSupport.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

namespace kova::test {
namespace {

using Strings = std::vector<std::string>;

// --- damaged files ------------------------------------------------------------------

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The lengths a file is cut to. Cutting at every length costs time in the
// square of the size, minutes for the largest example; so unless KOVA_EVERY_CUT
// is set, a file longer than 16 KiB is cut at every length within its first
// 4 KiB (the simulation record and the first group's records) and its last
// 512 bytes (the last records), and at every 127th length in between.
std::vector<std::size_t> CutLengths(std::size_t size) {
    constexpr std::size_t kHead = 4096;
    constexpr std::size_t kTail = 512;
    const bool everyLength = std::getenv("KOVA_EVERY_CUT") != nullptr || size <= 4 * kHead;
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length < size; ++length)
        if (everyLength || length < kHead || length >= size - kTail || length % 127 == 0)
            lengths.push_back(length);
    return lengths;
}

TEST_F(SimulationFile, EveryCutOfAFileFailsAndLeavesThePreviousSimulation) {
    TSimulation rich;
    BuildRichSimulation(rich);
    std::vector<std::pair<std::string, Bytes>> files{{"rich", SaveBytes(rich)}};
    for (const auto& path : ExampleFiles())
        files.emplace_back(path.filename().string(), ReadFile(path));

    BuildPrevious();
    const TSimulationState before = StateOf(sim);
    for (const auto& [name, file] : files) {
        // The whole file loads and saves back to the same bytes.
        TSimulation whole;
        ASSERT_EQ(LoadError(whole, file), "loaded") << name;
        EXPECT_EQ(SaveBytes(whole), file) << name;

        for (const std::size_t length : CutLengths(file.size())) {
            const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
            ASSERT_EQ(LoadError(sim, cut), "Stream-Read-Fehler") << name << " cut at " << length;
            ASSERT_EQ(StateOf(sim), before) << name << " cut at " << length;
        }
    }
}

struct DamageCase {
    const char* name;
    std::function<Bytes(const Bytes&)> damage;
    const char* message;
};
void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.name;
}

class SimulationFileDamage : public SimulationFile,
                             public ::testing::WithParamInterface<DamageCase> {
protected:
    // A trigger, a bug that lists it and an obstacle with Ids that are easy to
    // find in the file, and behaviours that refer to them.
    static Bytes DamageSource() {
        TSimulation source;
        TTrigger* trigger = source.NewTrigger();
        trigger->SetId(1100);
        TBugGroup* group = source.NewGroup();
        TBug& carrier = *source.CreateBug(*group, Vector(10, 10));
        carrier.SetName("Carrier");
        carrier.SetId(2200);
        carrier.Triggers = {trigger};
        TObstacle* obstacle = source.CreateObstacle(TObstacle::kCircle, 0, 0, 10, 10);
        obstacle->SetId(3300);
        TBug& other = *source.CreateBug(*group, Vector(50, 50));
        TSteeringBehaviour& chaser = AddBehaviour(*other.Behaviours, bkSeek);
        chaser.SetName("Chaser");
        chaser.SetId(4400);
        chaser.SetTargetIsBug(true);
        chaser.SetTargetBug(&carrier);
        TSteeringBehaviour& avoider = AddBehaviour(*other.Behaviours, bkObstacleAvoidance);
        avoider.SetName("Avoider");
        avoider.SetId(4500);
        avoider.Obstacles = {obstacle};
        return SaveBytes(source);
    }
};

TEST_P(SimulationFileDamage, FailsCleanlyWithTheLoadersMessage) {
    const Bytes file = DamageSource();
    {
        TSimulation intact;
        ASSERT_EQ(LoadError(intact, file), "loaded");
    }
    const Bytes damaged = GetParam().damage(file);
    ASSERT_NE(damaged, file);
    BuildPrevious();
    const TSimulationState before = StateOf(sim);
    ClearLogs();
    EXPECT_EQ(LoadError(sim, damaged), GetParam().message);
    EXPECT_EQ(StateOf(sim), before);
    EXPECT_TRUE(host.Entries("Browser").empty());
}

const Bytes kCarrier = NameRecord("Carrier", 2200);
const Bytes kChaser = NameRecord("Chaser", 4400);
const Bytes kAvoider = NameRecord("Avoider", 4500);

INSTANTIATE_TEST_SUITE_P(
    Cases, SimulationFileDamage,
    ::testing::Values(
        DamageCase{"TriggerIdNamesABug",
                   [](const Bytes& f) {
                       return Patched(f, kCarrier, IntegerBytes(1100), IntegerBytes(2200));
                   },
                   "Error in kvz-File! Id 2200 does not name a trigger."},
        DamageCase{"TriggerIdNamesNothing",
                   [](const Bytes& f) {
                       return Patched(f, kCarrier, IntegerBytes(1100), IntegerBytes(9999));
                   },
                   "Error in kvz-File! Id 9999 does not name a trigger."},
        DamageCase{"TargetIdNamesAnObstacle",
                   [](const Bytes& f) {
                       return Patched(f, kChaser, IntegerBytes(2200), IntegerBytes(3300));
                   },
                   "Error in kvz-File! Id 3300 does not name a bug."},
        DamageCase{"TargetIdNamesATrigger",
                   [](const Bytes& f) {
                       return Patched(f, kChaser, IntegerBytes(2200), IntegerBytes(1100));
                   },
                   "Error in kvz-File! Id 1100 does not name a bug."},
        DamageCase{"ObstacleIdNamesATrigger",
                   [](const Bytes& f) {
                       return Patched(f, kAvoider, IntegerBytes(3300), IntegerBytes(1100));
                   },
                   "Error in kvz-File! Id 1100 does not name an obstacle."},
        DamageCase{"FloatWhereTheFrameRateBelongs",
                   [](const Bytes& f) {
                       return WithSetting(f, 0, Encoded([](TWriter& w) { w.WriteFloat(25); }));
                   },
                   "Ungültiger Wert der Eigenschaft"},
        DamageCase{"StringWhereATriggerIdBelongs",
                   [](const Bytes& f) {
                       return Patched(f, kCarrier, IntegerBytes(1100), StringValue("x"));
                   },
                   "Ungültiger Wert der Eigenschaft"},
        DamageCase{"HugeObstacleCount",
                   [](const Bytes& f) { return WithSetting(f, 9, IntegerBytes(0x7FFFFFFF)); },
                   "Stream-Read-Fehler"}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return info.param.name; });

TEST_F(SimulationFile, HostileCountsCostNoMoreThanTheFileHolds) {
    // Counts of 2^31 - 1 for triggers, groups and obstacles in a file of 77 bytes.
    TSimulation empty;
    Bytes file = SaveBytes(empty);
    for (int n = 7; n <= 9; ++n)
        file = WithSetting(file, n, IntegerBytes(0x7FFFFFFF));
    std::string message;
    std::size_t allocations = 0;
    std::size_t largest = 0;
    {
        AllocationScope scope;
        message = LoadError(sim, file);
        allocations = scope.Count();
        largest = scope.LargestRequest();
    }
    EXPECT_EQ(message, "Stream-Read-Fehler");
    EXPECT_LT(allocations, 100u);
    EXPECT_LT(largest, 4096u);
}

// Values that a file can hold but the dialogs never give: the frame loop runs
// on them without asking for memory out of proportion to the simulation.
struct ExtremeCase {
    const char* name;
    std::function<void(TSimulation&)> build;
};

void PrintTo(const ExtremeCase& c, std::ostream* os) {
    *os << c.name;
}

class SimulationFileExtremes : public SimulationFile,
                               public ::testing::WithParamInterface<ExtremeCase> {};

TEST_P(SimulationFileExtremes, LoadedSimulationRunsInBoundedMemory) {
    TSimulation source;
    GetParam().build(source);
    TSimulation loaded;
    LoadBytes(loaded, SaveBytes(source));
    loaded.BeginRun();
    std::size_t largest = 0;
    {
        AllocationScope scope;
        for (int frame = 0; frame < 3; ++frame)
            loaded.StepFrame();
        largest = scope.LargestRequest();
    }
    EXPECT_EQ(loaded.CurrentFrame, 3u);
    EXPECT_LT(largest, 1u << 20);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimulationFileExtremes,
    ::testing::Values(ExtremeCase{"ArenaFarLongerThanWide",
                                  [](TSimulation& s) {
                                      s.Space.SetWidth(1e1000L);
                                      TBugGroup* group = s.NewGroup();
                                      TSteeringBehaviour& cohesion =
                                          AddBehaviour(*group->Template.Behaviours, bkCohesion);
                                      cohesion.SetSensorRangeOn(true);
                                      cohesion.SetSensorRange(50);
                                      for (int i = 0; i < 3; ++i)
                                          s.CreateBug(*group, Vector(100 + 10 * i, 100));
                                  }},
                      ExtremeCase{"ObstacleSpanningAllNumbers",
                                  [](TSimulation& s) {
                                      TObstacle* huge = s.CreateObstacle(
                                          TObstacle::kCircle, -8e4931L, -8e4931L, 8e4931L, 8e4931L);
                                      TObstacle* line =
                                          s.CreateObstacle(TObstacle::kLine, 1, 1, 2, 2);
                                      TBugGroup* group = s.NewGroup();
                                      AddBehaviour(*group->Template.Behaviours, bkObstacleAvoidance)
                                          .Obstacles = {huge, line};
                                      s.CreateBug(*group, Vector(10, 10));
                                  }}),
    [](const ::testing::TestParamInfo<ExtremeCase>& info) { return info.param.name; });

// --- files on disk --------------------------------------------------------------------

class SimulationFileOnDisk : public SimulationFile {
protected:
    SimulationFileOnDisk() {
        folder_ = std::filesystem::temp_directory_path() /
                  ("kova-file-tests-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    ~SimulationFileOnDisk() override { std::filesystem::remove_all(folder_); }

    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }
    static void WriteFile(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    Strings FolderContents() const {
        Strings names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::string ThrownBy(const std::function<void()>& action) {
        try {
            action();
        } catch (const EStreamError& error) {
            return error.what();
        }
        return "no error";
    }

    std::filesystem::path folder_;
};

TEST_F(SimulationFileOnDisk, SaveReplacesTheTargetAndOpenReadsItBack) {
    BuildRichSimulation(sim);
    const std::string path = PathOf("rich.kvz");
    WriteFile(path, "an older file");
    SaveSimulationFile(sim, path);
    EXPECT_EQ(ReadFile(path), SaveBytes(sim));
    EXPECT_EQ(FolderContents(), Strings{"rich.kvz"});

    TSimulation opened;
    OpenSimulationFile(opened, path);
    EXPECT_EQ(SaveBytes(opened), SaveBytes(sim));
}

TEST_F(SimulationFileOnDisk, SaveIntoAFolderThatCannotExistFails) {
    WriteFile(PathOf("plain"), "a file, not a folder");
    const std::string path = PathOf("plain") + "/sim.kvz";
    const std::string message = ThrownBy([&] { SaveSimulationFile(sim, path); });
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_EQ(FolderContents(), Strings{"plain"});
}

// Limits the size of files this process writes, for as long as it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

TEST_F(SimulationFileOnDisk, FailedWriteKeepsThePreviousFileAndLeavesNoTemporaryFile) {
    BuildRichSimulation(sim);
    const std::string path = PathOf("keep.kvz");
    WriteFile(path, "the previous contents");
    std::string message;
    {
        const FileSizeLimit limit(100);
        message = ThrownBy([&] { SaveSimulationFile(sim, path); });
    }
    EXPECT_EQ(message, "Stream-Write-Fehler");
    const Bytes kept = ReadFile(path);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "the previous contents");
    EXPECT_EQ(FolderContents(), Strings{"keep.kvz"});
}

TEST_F(SimulationFileOnDisk, FailedRenameLeavesNoTemporaryFile) {
    // A target that is a folder with something in it cannot be replaced.
    const std::string path = PathOf("taken.kvz");
    std::filesystem::create_directory(path);
    WriteFile(path + "/inside", "x");
    const std::string message = ThrownBy([&] { SaveSimulationFile(sim, path); });
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_EQ(FolderContents(), Strings{"taken.kvz"});
    EXPECT_TRUE(std::filesystem::exists(path + "/inside"));
}

TEST_F(SimulationFileOnDisk, OpeningAMissingFileNamesItAndChangesNothing) {
    BuildPrevious();
    const TSimulationState before = StateOf(sim);
    const std::string path = PathOf("missing.kvz");
    const std::string message = ThrownBy([&] { OpenSimulationFile(sim, path); });
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_EQ(StateOf(sim), before);

    WriteFile(PathOf("empty.kvz"), "");
    EXPECT_EQ(ThrownBy([&] { OpenSimulationFile(sim, PathOf("empty.kvz")); }),
              "Stream-Read-Fehler");
    EXPECT_EQ(StateOf(sim), before);
}

} // namespace
} // namespace kova::test
