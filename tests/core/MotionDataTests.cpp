#include "simulation/MotionData.h"
#include "simulation/MotionExport.h"

#include "foundations/Streams.h"
#include "simulation/Simulation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace kova {
namespace {

namespace fs = std::filesystem;

// Members of these groups move along +x at 10 m/s, 0.4 m per frame at the
// default 25 frames per second: no behaviours, so the steering force is the
// velocity, and minimum and maximum speed hold the speed at 10.
struct MotionScene {
    TSimulation Sim;

    TBugGroup& AddGroup(const std::string& name) {
        TBugGroup* group = Sim.NewGroup();
        group->SetName(name);
        TDefaultBug& t = group->Template;
        t.CurrentSpeedVariantValue.BaseValue = 10;
        t.MaxSpeedVariantValue.BaseValue = 10;
        t.MinSpeedVariantValue.BaseValue = 10;
        t.OrientationVariantValue.BaseValue = 0;
        return *group;
    }

    TBug& AddBug(TBugGroup& group, Extended x, Extended y, const std::string& name = {}) {
        TBug& bug = *Sim.CreateBug(group, Vector(x, y));
        if (!name.empty())
            bug.SetName(name);
        return bug;
    }

    static void MakeStationary(TBug& bug) {
        bug.SetMaxSpeed(0);
        bug.SetMinSpeed(0);
        bug.StoreStartValues();
    }
};

std::vector<std::string> kmdLines(const TMotionTable& table) {
    std::ostringstream out;
    table.WriteKmd(out);
    const std::string text = out.str();
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "text does not end with CR LF: " << text.substr(start);
            break;
        }
        const std::string line = text.substr(start, end - start);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line break in " << line;
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

std::string kmdText(const TMotionTable& table) {
    std::ostringstream out;
    table.WriteKmd(out);
    return out.str();
}

// Positions reached by steps of 0.4 m carry rounding errors far below this.
void expectPositionNear(const Vector& position, Extended x, Extended y) {
    EXPECT_NEAR(static_cast<double>(position[0]), static_cast<double>(x), 1e-9);
    EXPECT_NEAR(static_cast<double>(position[1]), static_cast<double>(y), 1e-9);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MotionSpanTest, LastFrameFromSecondsAndFrames) {
    EXPECT_EQ(SpanLastFrame({0, 0}, 25), 0u);
    EXPECT_EQ(SpanLastFrame({2, 10}, 25), 60u);
    EXPECT_EQ(SpanLastFrame({1, 2}, 10), 12u);
    // The dialog lowers a frame above FPS - 1 to FPS - 1.
    EXPECT_EQ(ClampSpanFrame(30, 25), 24u);
    EXPECT_EQ(ClampSpanFrame(24, 25), 24u);
    EXPECT_EQ(SpanLastFrame({0, 30}, 25), 24u);
    EXPECT_EQ(SpanLastFrame({1, 30}, 25), 49u);
    // A frame rate of 0 (damaged file) leaves only frame 0.
    EXPECT_EQ(ClampSpanFrame(5, 0), 0u);
    EXPECT_EQ(SpanLastFrame({7, 5}, 0), 0u);
}

TEST(MotionSpanTest, SpansBeyondFrame65533AreRefused) {
    EXPECT_EQ(SpanLastFrame({2621, 8}, 25), 65533u);
    try {
        SpanLastFrame({2621, 9}, 25);
        ADD_FAILURE() << "frame 65534 accepted";
    } catch (const EMotionDataError& e) {
        EXPECT_STREQ(e.what(), "The span ends at frame 65534; an exported span may end at "
                               "frame 65533 at most.");
    }
    // The largest span the edits allow must not wrap around 32 bits.
    try {
        SpanLastFrame({99999999, 254}, 255);
        ADD_FAILURE() << "huge span accepted";
    } catch (const EMotionDataError& e) {
        EXPECT_NE(std::string(e.what()).find("frame 25499999999;"), std::string::npos) << e.what();
    }
}

TEST(MotionTableTest, PrepareShapesHeadingsAndTimeLabels) {
    MotionScene scene;
    TBugGroup& group = scene.AddGroup("G");
    scene.AddBug(group, 1, 1, "A");
    scene.AddBug(group, 2, 2, "B");
    TMotionTable table;
    EXPECT_EQ(table.RowCount(), 0);
    EXPECT_EQ(table.Cell(0, 0), "");

    table.Prepare(&group, 25, 30);
    EXPECT_EQ(table.ColumnCount(), 3);
    EXPECT_EQ(table.RowCount(), 32);
    EXPECT_EQ(table.Cell(0, 0), "Time");
    EXPECT_EQ(table.Cell(1, 0), "A");
    EXPECT_EQ(table.Cell(2, 0), "B");
    EXPECT_EQ(table.Cell(0, 1), "0:0");
    EXPECT_EQ(table.Cell(0, 25), "0:24");
    EXPECT_EQ(table.Cell(0, 28), "1:2"); // frame 27
    EXPECT_EQ(table.Cell(0, 31), "1:5");
    EXPECT_EQ(table.Cell(1, 1), "");
    EXPECT_EQ(table.Cell(3, 0), ""); // outside
    EXPECT_EQ(table.Cell(0, 32), "");
    EXPECT_EQ(table.Cell(-1, 0), "");
    EXPECT_EQ(table.GroupName(), "G");
    EXPECT_EQ(table.MemberCount(), 2u);
    EXPECT_FALSE(table.CanSave());
    EXPECT_FALSE(table.CanShrink());

    // A group without members still has one value column.
    TBugGroup& empty = scene.AddGroup("E");
    table.Prepare(&empty, 25, 2);
    EXPECT_EQ(table.ColumnCount(), 2);
    EXPECT_EQ(table.RowCount(), 4);
    EXPECT_EQ(table.Cell(1, 0), "");
    EXPECT_EQ(table.MemberCount(), 0u);

    // The limits are refused without touching the table.
    EXPECT_THROW(table.Prepare(&group, 25, 65534), EMotionDataError);
    EXPECT_EQ(table.RowCount(), 4);
    EXPECT_EQ(table.GroupName(), "E");
    table.Prepare(&group, 25, 65533);
    EXPECT_EQ(table.RowCount(), 65535);
    EXPECT_EQ(table.Cell(0, 65534), "2621:8");
}

TEST(MotionTableTest, ChangingTheSelectionEmptiesTheValues) {
    MotionScene scene;
    TBugGroup& group = scene.AddGroup("G");
    scene.AddBug(group, 1, 1, "A");
    TMotionTable table;
    ASSERT_TRUE(table.Record(scene.Sim, group, 3));
    ASSERT_EQ(table.Cell(1, 2), "1.4;0;-1;");
    ASSERT_TRUE(table.CanSave());

    // No group in the list: same size, headings and labels, no values.
    table.Prepare(nullptr, 25, 10);
    EXPECT_EQ(table.RowCount(), 5);
    EXPECT_EQ(table.Cell(1, 0), "A");
    EXPECT_EQ(table.Cell(0, 4), "0:3");
    for (int row = 1; row < table.RowCount(); ++row)
        EXPECT_EQ(table.Cell(1, row), "") << row;
    EXPECT_FALSE(table.CanSave());
    EXPECT_FALSE(table.CanShrink());

    ASSERT_TRUE(table.Record(scene.Sim, group, 3));
    table.Prepare(&group, 25, 3);
    EXPECT_EQ(table.Cell(1, 1), "");
    EXPECT_FALSE(table.CanSave());
}

TEST(MotionTableTest, GroupsOfMoreThan65535MembersAreRefused) {
    TBugGroup group(nullptr, "Crowd");
    for (std::size_t i = 0; i < kMaxMotionMembers; ++i)
        group.Members.push_back(std::make_unique<TBug>(group));
    TMotionTable table;
    table.Prepare(&group, 25, 0);
    EXPECT_EQ(table.ColumnCount(), 65536);

    group.Members.push_back(std::make_unique<TBug>(group));
    try {
        table.Prepare(&group, 25, 0);
        ADD_FAILURE() << "65536 members accepted";
    } catch (const EMotionDataError& e) {
        EXPECT_STREQ(e.what(), "The group has 65536 members; at most 65535 members can be "
                               "exported.");
    }
}

TEST(MotionRecordTest, SpanZeroRecordsTheStartPositionsAndStepsOnce) {
    MotionScene scene;
    TBugGroup& group = scene.AddGroup("G");
    TBug& a = scene.AddBug(group, 100, 50, "A");
    TBug& b = scene.AddBug(group, 20, 30, "B");

    TMotionTable table;
    EXPECT_TRUE(table.Record(scene.Sim, group, SpanLastFrame({0, 0}, scene.Sim.FPS)));
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_EQ(kmdLines(table), (std::vector<std::string>{"G;2;", "A;1;0;0;", "0;100;0;-50;",
                                                         "B;1;0;0;", "0;20;0;-30;"}));
    // Each member stepped exactly once after its position was taken.
    expectPositionNear(a.Position, 100.4L, 50);
    expectPositionNear(b.Position, 20.4L, 30);
    EXPECT_TRUE(table.CanSave());
    EXPECT_TRUE(table.CanShrink());
}

TEST(MotionRecordTest, TableHoldsPositionsBeforeEachUpdate) {
    MotionScene scene;
    TBugGroup& group = scene.AddGroup("G");
    scene.AddBug(group, 10.9L, 3, "Runner");

    TMotionTable table;
    const std::uint32_t last = SpanLastFrame({2, 10}, scene.Sim.FPS);
    ASSERT_EQ(last, 60u);
    EXPECT_TRUE(table.Record(scene.Sim, group, last));
    EXPECT_EQ(table.RowCount(), 62);
    EXPECT_EQ(table.Cell(1, 1), "10.9;0;-3;");
    EXPECT_EQ(table.Cell(1, 5), "12.5;0;-3;");

    const std::vector<std::string> lines = kmdLines(table);
    ASSERT_EQ(lines.size(), 1u + 1u + 61u);
    EXPECT_EQ(lines[1], "Runner;61;0;60;");
    EXPECT_EQ(lines[2], "0;10.9;0;-3;");
    EXPECT_EQ(lines[6], "4;12.5;0;-3;");
    EXPECT_EQ(lines[62], "60;34.9;0;-3;");

    // The separator of the user's locale goes into the coordinates only.
    EXPECT_TRUE(table.Record(scene.Sim, group, 4, ','));
    EXPECT_EQ(kmdLines(table).back(), "4;12,5;0;-3;");
}

TEST(MotionRecordTest, OnlyTheChosenGroupMovesAndTheClockStays) {
    struct TimeHost : ISimulationHost {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> Times;
        void SetCurrentTime(std::uint32_t second, std::uint32_t frame) override {
            Times.emplace_back(second, frame);
        }
    } host;
    MotionScene scene;
    scene.Sim.SetHost(&host);
    TBugGroup& chosen = scene.AddGroup("G");
    TBugGroup& other = scene.AddGroup("H");
    TBug& runner = scene.AddBug(chosen, 100, 10, "A");
    TBug& bystander = scene.AddBug(other, 200, 20, "X");

    // The recording starts from the start values, wherever the run stands.
    for (int i = 0; i < 30; ++i)
        scene.Sim.StepFrame();
    ASSERT_EQ(scene.Sim.CurrentSecond, 1u);
    ASSERT_NE(bystander.Position, Vector(200, 20));
    host.Times.clear();

    TMotionTable table;
    EXPECT_TRUE(table.Record(scene.Sim, chosen, 5));
    EXPECT_EQ(table.Cell(1, 1), "100;0;-10;");
    EXPECT_EQ(table.Cell(1, 6), "102;0;-10;");
    expectPositionNear(runner.Position, 102.4L, 10);
    EXPECT_EQ(bystander.Position, Vector(200, 20));
    EXPECT_EQ(scene.Sim.CurrentSecond, 0u);
    EXPECT_EQ(scene.Sim.CurrentFrame, 0u);
    // The rewind shows 0:0 once; the recording itself shows no time.
    EXPECT_EQ(host.Times, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, 0}}));
    scene.Sim.SetHost(nullptr);
}

TEST(MotionRecordTest, TriggersAtZeroFireInEveryFrameAndOthersNever) {
    MotionScene scene;
    TBugGroup& group = scene.AddGroup("G");
    group.Template.MaxSpeedVariantValue.BaseValue = 80;
    group.Template.MinSpeedVariantValue.BaseValue = 0;
    TBug& bug = scene.AddBug(group, 100, 100, "A");

    // Each frame the speed is set to 20 before steering adds 2 (force 20 over
    // mass 10): 0.88 m per frame when this fires every frame, faster and
    // faster if it fired only once.
    TTrigger& atStart = *scene.Sim.NewTrigger();
    atStart.SetSecond(0);
    atStart.SetFrame(0);
    atStart.Template.CurrentSpeedVariantValue.Apply = true;
    atStart.Template.CurrentSpeedVariantValue.BaseValue = 20;
    // Would stop the bug if it ever fired.
    TTrigger& later = *scene.Sim.NewTrigger();
    later.SetSecond(0);
    later.SetFrame(1);
    later.Template.MaxSpeedVariantValue.Apply = true;
    later.Template.MaxSpeedVariantValue.BaseValue = 0;
    bug.Triggers = {&atStart, &later};

    TMotionTable table;
    EXPECT_TRUE(table.Record(scene.Sim, group, 3));
    EXPECT_EQ(kmdLines(table),
              (std::vector<std::string>{"G;1;", "A;4;0;3;", "0;100;0;-100;", "1;100.88;0;-100;",
                                        "2;101.76;0;-100;", "3;102.64;0;-100;"}));
}

TEST(MotionRecordTest, NineLineExampleAndEmptyGroup) {
    MotionScene scene;
    TBugGroup& group = scene.AddGroup("G");
    scene.AddBug(group, 1, 2, "A");
    MotionScene::MakeStationary(scene.AddBug(group, 0.00001L, 250, "B"));

    TMotionTable table;
    EXPECT_TRUE(table.Record(scene.Sim, group, 2));
    EXPECT_EQ(kmdText(table), "G;2;\r\n"
                              "A;3;0;2;\r\n"
                              "0;1;0;-2;\r\n"
                              "1;1.4;0;-2;\r\n"
                              "2;1.8;0;-2;\r\n"
                              "B;3;0;2;\r\n"
                              "0;1E-5;0;-250;\r\n"
                              "1;1E-5;0;-250;\r\n"
                              "2;1E-5;0;-250;\r\n");

    TBugGroup& empty = scene.AddGroup("E");
    bool progressCalled = false;
    EXPECT_TRUE(table.Record(scene.Sim, empty, 10, '.', [&](std::uint32_t, std::uint32_t) {
        progressCalled = true;
        return true;
    }));
    EXPECT_FALSE(progressCalled);
    EXPECT_TRUE(table.CanSave());
    EXPECT_EQ(table.ColumnCount(), 2);
    EXPECT_EQ(kmdText(table), "E;0;\r\n");
}

TEST(MotionRecordTest, ShrinkKeepsEveryNthFrameAndBothEnds) {
    MotionScene scene;
    TBugGroup& group = scene.AddGroup("G");
    scene.AddBug(group, 0, 0, "A");
    TMotionTable table;
    auto keptFrames = [&] {
        std::vector<int> frames;
        for (int row = 1; row < table.RowCount(); ++row)
            if (!table.Cell(1, row).empty())
                frames.push_back(row - 1);
        return frames;
    };

    ASSERT_TRUE(table.Record(scene.Sim, group, 6));
    table.Shrink(1);
    EXPECT_EQ(keptFrames(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(table.CanShrink());

    ASSERT_TRUE(table.Record(scene.Sim, group, 6));
    EXPECT_TRUE(table.CanShrink());
    table.Shrink(2);
    EXPECT_EQ(keptFrames(), (std::vector<int>{0, 1, 3, 5, 6}));
    EXPECT_EQ(table.Cell(1, 4), "1.2;0;0;"); // frame 3 keeps its value
    const std::vector<std::string> lines = kmdLines(table);
    EXPECT_EQ(lines, (std::vector<std::string>{"G;1;", "A;5;0;6;", "0;0;0;0;", "1;0.4;0;0;",
                                               "3;1.2;0;0;", "5;2;0;0;", "6;2.4;0;0;"}));
    EXPECT_TRUE(table.CanSave());

    ASSERT_TRUE(table.Record(scene.Sim, group, 20));
    table.Shrink(5);
    EXPECT_EQ(keptFrames(), (std::vector<int>{0, 4, 9, 14, 19, 20}));
    // Thinning again works on what is left; it never brings frames back.
    table.Shrink(2);
    EXPECT_EQ(keptFrames(), (std::vector<int>{0, 9, 19, 20}));
    EXPECT_THROW(table.Shrink(0), EMotionDataError);

    // Two frames: nothing between the ends to remove.
    ASSERT_TRUE(table.Record(scene.Sim, group, 1));
    table.Shrink(100);
    EXPECT_EQ(keptFrames(), (std::vector<int>{0, 1}));
}

TEST(MotionRecordTest, CancellingLeavesNothingToSave) {
    MotionScene scene;
    TBugGroup& group = scene.AddGroup("G");
    scene.AddBug(group, 0, 0, "A");
    TMotionTable table;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> reports;
    const bool completed =
        table.Record(scene.Sim, group, 9, '.', [&](std::uint32_t done, std::uint32_t total) {
            reports.emplace_back(done, total);
            return done < 3;
        });
    EXPECT_FALSE(completed);
    EXPECT_EQ(reports,
              (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{1, 10}, {2, 10}, {3, 10}}));
    EXPECT_EQ(table.RowCount(), 11);
    EXPECT_EQ(table.Cell(1, 0), "A");
    for (int row = 1; row < table.RowCount(); ++row)
        EXPECT_EQ(table.Cell(1, row), "") << row;
    EXPECT_FALSE(table.CanSave());
    EXPECT_FALSE(table.CanShrink());

    // A span beyond the limit is refused before the simulation is touched.
    scene.Sim.StepFrame();
    const Vector moved = group.Members[0]->Position;
    EXPECT_THROW(table.Record(scene.Sim, group, 65534), EMotionDataError);
    EXPECT_EQ(group.Members[0]->Position, moved);
    EXPECT_EQ(scene.Sim.CurrentFrame, 1u);
}

// --- the kmd file ----------------------------------------------------------

class KmdFileTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kova-kmd-" + std::to_string(getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directory(dir_);
        fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
        TBugGroup& group = scene_.AddGroup("G");
        scene_.AddBug(group, 1, 2, "A");
        ASSERT_TRUE(table_.Record(scene_.Sim, group, 2));
    }

    void TearDown() override {
        std::error_code ignored;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir_, ignored);
    }

    std::vector<std::string> folderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        return names;
    }

    void writeExisting(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    MotionScene scene_;
    TMotionTable table_;
    fs::path dir_;
};

TEST_F(KmdFileTest, SavingCreatesOrReplacesTheFile) {
    const fs::path target = dir_ / "motion.kmd";
    SaveKmdFile(table_, target.string());
    EXPECT_EQ(readFile(target), kmdText(table_));

    writeExisting(target, "an older and much longer file than the new one ...............");
    SaveKmdFile(table_, target.string());
    EXPECT_EQ(readFile(target), kmdText(table_));
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"motion.kmd"});
}

TEST_F(KmdFileTest, UnwritableFolderKeepsTheExistingFile) {
    const fs::path target = dir_ / "motion.kmd";
    writeExisting(target, "precious");
    const bool root = geteuid() == 0;
    if (!root)
        fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    // Root may write anywhere, so the attempt is made as an unprivileged user.
    EXPECT_EXIT(
        {
            if (root && setuid(65534) != 0)
                std::_Exit(2);
            try {
                SaveKmdFile(table_, target.string());
            } catch (const EStreamError& e) {
                std::fputs(e.what(), stderr);
                std::_Exit(0);
            }
            std::_Exit(1);
        },
        testing::ExitedWithCode(0), "Cannot write \".*motion\\.kmd\": ");
    EXPECT_EQ(readFile(target), "precious");
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"motion.kmd"});
}

TEST_F(KmdFileTest, FailedWriteKeepsTheExistingFileAndLeavesNoTemporary) {
    const fs::path target = dir_ / "motion.kmd";
    writeExisting(target, "precious");
    // A file size limit of 16 bytes makes the writing of the text fail.
    EXPECT_EXIT(
        {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit original{};
            getrlimit(RLIMIT_FSIZE, &original);
            rlimit limit = original;
            limit.rlim_cur = 16;
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                std::_Exit(2);
            try {
                SaveKmdFile(table_, target.string());
            } catch (const EStreamError& e) {
                // The limit holds for the captured error output as well.
                setrlimit(RLIMIT_FSIZE, &original);
                std::fputs(e.what(), stderr);
                std::_Exit(0);
            }
            std::_Exit(1);
        },
        testing::ExitedWithCode(0), "Cannot write \".*motion\\.kmd\": .+");
    EXPECT_EQ(readFile(target), "precious");
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"motion.kmd"});

    // A folder in the way of the file: the rename fails and the folder stays.
    const fs::path blocked = dir_ / "blocked.kmd";
    fs::create_directory(blocked);
    writeExisting(blocked / "inside", "kept");
    EXPECT_THROW(SaveKmdFile(table_, blocked.string()), EStreamError);
    EXPECT_EQ(readFile(blocked / "inside"), "kept");
    EXPECT_EQ(folderEntries().size(), 2u);

    // A missing folder is reported with the path.
    try {
        SaveKmdFile(table_, (dir_ / "missing" / "motion.kmd").string());
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const EStreamError& e) {
        EXPECT_NE(std::string(e.what()).find("missing/motion.kmd\": "), std::string::npos)
            << e.what();
    }
}

// --- the streamed export -------------------------------------------------------

// A scene whose members move in different directions, so that both
// coordinates carry many digits, beside members that stand still and a group
// without members.
struct ExportScene : MotionScene {
    TBugGroup* Movers;
    TBugGroup* Still;
    TBugGroup* Empty;

    ExportScene() {
        Movers = &AddGroup("Movers");
        const Extended starts[][3] = {
            {10.9L, 3, 0}, {-5.5L, -7.25L, 33}, {0.00001L, 250, 101}, {1e6L, -0.125L, 290}};
        for (const auto& [x, y, heading] : starts) {
            Movers->Template.OrientationVariantValue.BaseValue = heading;
            AddBug(*Movers, x, y);
        }
        Still = &AddGroup("Still");
        MakeStationary(AddBug(*Still, 1, 2, "S1"));
        MakeStationary(AddBug(*Still, -3.75L, 0, "S2"));
        Empty = &AddGroup("Empty");
    }
};

// The kmd text the motion table gives for the recording, thinned to every
// n-th frame.
std::string tableKmd(TSimulation& simulation, TBugGroup& group, std::uint32_t lastFrame, int every,
                     char separator) {
    TMotionTable table;
    EXPECT_TRUE(table.Record(simulation, group, lastFrame, separator));
    table.Shrink(every);
    return kmdText(table);
}

class MotionExportTest : public testing::Test {
protected:
    void SetUp() override {
        scratch_ = fs::temp_directory_path() / ("kova-motion-" + std::to_string(getpid()));
        fs::remove_all(scratch_);
        fs::create_directory(scratch_);
    }
    void TearDown() override { fs::remove_all(scratch_); }

    fs::path scratch_;
};

TEST_F(MotionExportTest, StreamedTextIsTheThinnedTablesTextByteForByte) {
    constexpr std::size_t kTiny = 1;
    // A member's positions in the 22 frames that every 2nd of 0 .. 40 keeps
    // (0, 1, 3, ..., 39, 40), two 10-byte coordinates each.
    constexpr std::size_t kMember = 22 * 20;
    struct Case {
        const char* Name;
        TBugGroup* ExportScene::*Group;
        std::uint32_t LastFrame;
        int Every;
        char Separator;
        std::size_t Budget;
    };
    const Case cases[] = {
        {"every frame", &ExportScene::Movers, 60, 1, '.', kMotionExportBudget},
        {"every third, comma", &ExportScene::Movers, 60, 3, ',', kMotionExportBudget},
        {"chunks of one member", &ExportScene::Movers, 40, 7, '.', kTiny},
        {"chunks of two members", &ExportScene::Movers, 40, 2, ',', 2 * kMember},
        {"one member short of all", &ExportScene::Movers, 40, 2, '.', 4 * kMember - 1},
        {"span of frame 0 only", &ExportScene::Movers, 0, 5, '.', kTiny},
        {"two frames, every 100th", &ExportScene::Movers, 1, 100, '.', kTiny},
        {"every 100th of 250", &ExportScene::Movers, 250, 100, '.', kTiny},
        {"members standing still", &ExportScene::Still, 30, 4, '.', kTiny},
        {"no members", &ExportScene::Empty, 10, 3, '.', kTiny},
    };
    ExportScene scene;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TBugGroup& group = *(scene.*c.Group);
        const std::string expected = tableKmd(scene.Sim, group, c.LastFrame, c.Every, c.Separator);
        std::vector<Vector> tableEnd;
        for (const auto& member : group.Members)
            tableEnd.push_back(member->Position);

        std::vector<std::uint32_t> reports;
        TMotionExportSettings settings;
        settings.Every = c.Every;
        settings.DecimalSeparator = c.Separator;
        settings.MemoryBudget = c.Budget;
        settings.ScratchFolder = scratch_.string();
        settings.Progress = [&](std::uint32_t done, std::uint32_t total) {
            EXPECT_EQ(total, c.LastFrame + 1);
            reports.push_back(done);
            return true;
        };
        std::ostringstream out;
        EXPECT_TRUE(WriteMotionKmd(scene.Sim, group, c.LastFrame, out, settings));
        EXPECT_EQ(out.str(), expected);
        // The members were stepped as the table's recording stepped them.
        for (std::size_t i = 0; i < group.Members.size(); ++i)
            EXPECT_EQ(group.Members[i]->Position, tableEnd[i]) << i;
        EXPECT_EQ(reports.size(), group.Members.empty() ? 0u : c.LastFrame + 1);
        EXPECT_TRUE(fs::is_empty(scratch_)) << "the scratch file has no name";
    }
}

TEST_F(MotionExportTest, ScratchFileOnlyBeyondTheBudgetLimitsAndCancelling) {
    ExportScene scene;
    TBugGroup& group = *scene.Movers;
    TMotionExportSettings settings;
    settings.ScratchFolder = (scratch_ / "missing").string();
    std::ostringstream out;
    // What fits the budget never needs the folder.
    EXPECT_TRUE(WriteMotionKmd(scene.Sim, group, 20, out, settings));
    EXPECT_EQ(out.str(), tableKmd(scene.Sim, group, 20, 1, '.'));
    settings.MemoryBudget = 1;
    try {
        WriteMotionKmd(scene.Sim, group, 20, out, settings);
        ADD_FAILURE() << "a scratch file in a missing folder";
    } catch (const EStreamError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create the motion data's scratch file in \"" +
                                             settings.ScratchFolder +
                                             "\": No such file or directory");
    }

    // The limits are refused before the simulation is touched.
    settings.ScratchFolder = scratch_.string();
    scene.Sim.StepFrame();
    const Vector moved = group.Members[0]->Position;
    out.str("");
    for (const auto& [lastFrame, every] : {std::pair{65534u, 1}, std::pair{10u, 0}}) {
        settings.Every = every;
        EXPECT_THROW(WriteMotionKmd(scene.Sim, group, lastFrame, out, settings), EMotionDataError);
    }
    EXPECT_EQ(group.Members[0]->Position, moved);
    EXPECT_EQ(scene.Sim.CurrentFrame, 1u);

    // Cancelling writes nothing.
    settings.Every = 1;
    settings.Progress = [](std::uint32_t done, std::uint32_t) { return done < 3; };
    EXPECT_FALSE(WriteMotionKmd(scene.Sim, group, 10, out, settings));
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(fs::is_empty(scratch_));
}

// --- the table's memory --------------------------------------------------------

TEST(MotionTableMemoryTest, RecordingsBeyondHalfTheMachinesMemoryAreRefused) {
    const std::uint64_t small = MotionTableBytes(2, 61);
    // Recording 10,000 members over 10 s at 25 frames per second and saving
    // the table to a file took 425 MB at its peak.
    const std::uint64_t measured = MotionTableBytes(10000, 251);
    EXPECT_GT(measured, 425'000'000u);
    EXPECT_LT(measured, 2 * 425'000'000u);

    struct Case {
        std::size_t Members;
        std::uint64_t Frames;
        std::uint64_t Memory;
        bool Refused;
    };
    const Case cases[] = {
        {2, 61, 2 * small, false},    // exactly half
        {2, 61, 2 * small - 2, true}, // a byte over half
        {2, 61, 0, false},            // the system does not tell
        {0, 100, 2 * MotionTableBytes(0, 100), false},
        {0, 100, 2 * MotionTableBytes(0, 100) - 2, true}, // the empty value column
        {65535, 65534, std::uint64_t{1} << 40, true},
        {65535, 65534, UINT64_MAX, false},
        {SIZE_MAX, UINT64_MAX, UINT64_MAX, true}, // saturates instead of wrapping
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Members) + " members, " + std::to_string(c.Frames) +
                     " frames, " + std::to_string(c.Memory) + " bytes");
        if (c.Refused)
            EXPECT_THROW(CheckMotionTableMemory(c.Members, c.Frames, c.Memory), EMotionDataError);
        else
            EXPECT_NO_THROW(CheckMotionTableMemory(c.Members, c.Frames, c.Memory));
    }

    try {
        CheckMotionTableMemory(10000, 251, 1'000'000'000);
        ADD_FAILURE() << "refusal expected";
    } catch (const EMotionDataError& e) {
        EXPECT_STREQ(e.what(), "The table for 10000 members over 251 frames would take about "
                               "532.4 MB of memory; at most half of this computer's memory, "
                               "500.0 MB, may be used. For spans this long use \"kova-cli "
                               "export\", which writes the motion data file without holding it "
                               "in memory.");
    }
    EXPECT_GT(MachineMemoryBytes(), 0u);
}

} // namespace
} // namespace kova
