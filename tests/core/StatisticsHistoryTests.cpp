// The CSV fields of group statistics, and the history of samples the
// Statistics window plots and saves: its bound on memory, the tracks of groups
// that come and go, and the clock going back.

#include "analysis/StatisticsCsv.h"
#include "analysis/StatisticsHistory.h"
#include "world/Bug.h"
#include "world/BugGroup.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace kova {
namespace {

TEST(StatisticsCsvTest, FieldsAreQuotedOnlyWhenTheyMustBe) {
    const struct {
        std::string Text, Field;
    } cases[] = {
        {"Boids", "Boids"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CsvText(c.Text), c.Field) << c.Text;
}

TEST(StatisticsCsvTest, NumbersAreTheShortestTextThatReadsBack) {
    const struct {
        double Value;
        std::string Text;
    } cases[] = {
        {0, "0"}, {2, "2"}, {0.1, "0.1"}, {-1.5e-7, "-1.5e-07"}, {1.0 / 3, "0.3333333333333333"}};
    for (const auto& c : cases)
        EXPECT_EQ(ShortestText(c.Value), c.Text);
}

// Groups whose members can be moved between samples.
struct Groups {
    std::vector<std::unique_ptr<TBugGroup>> List;

    TBugGroup& Add(const std::string& name, int members) {
        TBugGroup& group = *List.emplace_back(std::make_unique<TBugGroup>(nullptr, name));
        for (int i = 0; i < members; ++i) {
            group.Members.push_back(std::make_unique<TBug>(group));
            TBug& bug = *group.Members.back();
            bug.Position = Vector(10.0L * i, 5);
            bug.Velocity = Vector(1, i);
        }
        return group;
    }
    // Every member one step along its velocity.
    void Move() {
        for (const auto& group : List)
            for (const auto& bug : group->Members)
                bug->Position = Vector(bug->Position[0] + bug->Velocity[0],
                                       bug->Position[1] + bug->Velocity[1]);
    }
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

std::string row(std::uint32_t second, std::uint32_t frame, const TBugGroup& group) {
    std::ostringstream out;
    WriteStatisticsRow(out, second, frame, group.Name, GroupStatisticValues(MeasureGroup(group)));
    std::string text = out.str();
    text.pop_back();
    return text;
}

// One sample of every group of the list, measured now.
void record(TStatisticsHistory& history, const Groups& groups, std::uint32_t second,
            std::uint32_t frame, std::uint8_t fps) {
    std::vector<TStatisticsHistory::TGroupValues> values;
    for (const auto& group : groups.List)
        values.push_back({group.get(), TStatisticsHistory::ValuesOf(MeasureGroup(*group))});
    history.Add(TStatisticsHistory::ClockTime(second, frame, fps), values);
}

TEST(StatisticsRingTest, KeepsTheNewestItemsOnceFull) {
    TRing<int> ring(3);
    for (int i = 0; i < 5; ++i)
        ring.Push(i);
    ASSERT_EQ(ring.Size(), 3u);
    EXPECT_EQ(ring[0], 2);
    EXPECT_EQ(ring[1], 3);
    EXPECT_EQ(ring[2], 4);
    EXPECT_EQ(ring.Newest(), 4);
}

// A group joining later has a shorter track, aligned with the newest samples;
// the capacity bounds both the time line and the tracks; the CSV rows follow
// the samples and, within one, the groups, with the values measured then.
TEST(StatisticsHistoryTest, TracksOfLateGroupsAlignWithTheNewestSamples) {
    Groups groups;
    TBugGroup& first = groups.Add("Prey, fast", 3);
    TStatisticsHistory history(4);
    std::vector<std::string> expected{lines([] {
        std::ostringstream header;
        WriteStatisticsHeader(header);
        return header.str();
    }())};
    for (std::uint32_t frame = 0; frame < 6; ++frame) {
        if (frame == 3)
            groups.Add("Hunters", 2);
        record(history, groups, 0, frame, 25);
        if (frame >= 2)
            for (const auto& group : groups.List)
                expected.push_back(row(0, frame, *group));
        groups.Move();
    }
    ASSERT_EQ(history.SampleCount(), 4u);
    EXPECT_EQ(history.Time(0).Frame, 2u);
    EXPECT_DOUBLE_EQ(history.Time(3).Seconds, 5.0 / 25);
    ASSERT_EQ(history.Tracks().size(), 2u);
    EXPECT_EQ(history.TrackOf(first)->Values.Size(), 4u);
    EXPECT_EQ(history.TrackOf(*groups.List[1])->Values.Size(), 3u);

    std::ostringstream csv;
    history.WriteCsv(csv);
    EXPECT_EQ(lines(csv.str()), expected);
    EXPECT_EQ(expected[1].substr(0, 17), "0,2,\"Prey, fast\",");
}

TEST(StatisticsHistoryTest, AClockThatGoesBackDropsTheSamples) {
    const struct {
        const char* Name;
        std::uint32_t Second, Frame;
        bool Dropped;
    } cases[] = {
        {"the next frame", 1, 3, false},
        {"a later second", 2, 0, false},
        {"the newest sample's time", 1, 2, true},
        {"rewound to 0:0", 0, 0, true},
        {"an earlier frame", 1, 1, true},
        {"a later frame of an earlier second", 0, 9, true},
    };
    for (const auto& c : cases) {
        Groups groups;
        groups.Add("G", 2);
        TStatisticsHistory history;
        for (std::uint32_t frame = 0; frame < 3; ++frame)
            record(history, groups, 1, frame, 10);
        EXPECT_EQ(history.ClockShows(c.Second, c.Frame), c.Dropped) << c.Name;
        EXPECT_EQ(history.SampleCount(), c.Dropped ? 0u : 3u) << c.Name;
        EXPECT_EQ(history.Tracks()[0]->Values.Size(), history.SampleCount()) << c.Name;

        // A sample taken at such a time starts the history anew.
        record(history, groups, c.Second, c.Frame, 10);
        EXPECT_EQ(history.SampleCount(), c.Dropped ? 1u : 4u) << c.Name;
    }
}

TEST(StatisticsHistoryTest, AForgottenGroupLeavesNoRows) {
    Groups groups;
    groups.Add("Stays", 2);
    groups.Add("Goes", 2);
    TStatisticsHistory history;
    record(history, groups, 0, 0, 25);
    history.Forget(*groups.List[1]);
    groups.List.pop_back();
    record(history, groups, 0, 1, 25);

    ASSERT_EQ(history.Tracks().size(), 1u);
    std::ostringstream csv;
    history.WriteCsv(csv);
    const std::vector<std::string> rows = lines(csv.str());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1], row(0, 0, *groups.List[0]));
    EXPECT_EQ(rows[2], row(0, 1, *groups.List[0]));
}

} // namespace
} // namespace kova
