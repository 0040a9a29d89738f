#include "simulation/MotionData.h"

#include "foundations/NumberFormat.h"
#include "foundations/OutputFile.h"
#include "foundations/Streams.h"
#include "simulation/Simulation.h"

#include <algorithm>
#include <ostream>
#include <sstream>

namespace kova {

namespace {

// The texts this module shows the user.
std::string spanTooLongMessage(std::uint64_t lastFrame) {
    return "The span ends at frame " + std::to_string(lastFrame) +
           "; an exported span may end at frame " + std::to_string(kMaxMotionFrame) + " at most.";
}

std::string tooManyMembersMessage(std::size_t members) {
    return "The group has " + std::to_string(members) + " members; at most " +
           std::to_string(kMaxMotionMembers) + " members can be exported.";
}

constexpr const char* kShrinkStepMessage = "Frames can only be thinned to every n-th with n >= 1.";

void checkLastFrame(std::uint64_t lastFrame) {
    if (lastFrame > kMaxMotionFrame)
        throw EMotionDataError(spanTooLongMessage(lastFrame));
}

void checkMemberCount(const TBugGroup& group) {
    if (group.Members.size() > kMaxMotionMembers)
        throw EMotionDataError(tooManyMembersMessage(group.Members.size()));
}

std::string timeLabel(std::uint32_t frame, std::uint8_t fps) {
    if (fps == 0)
        return "0:0";
    return std::to_string(frame / fps) + ":" + std::to_string(frame % fps);
}

const std::string kEmptyCell;

} // namespace

std::uint32_t ClampSpanFrame(std::uint32_t frame, std::uint8_t fps) {
    const std::uint32_t lastInSecond = fps == 0 ? 0 : fps - 1u;
    return std::min(frame, lastInSecond);
}

std::uint32_t SpanLastFrame(const TMotionSpan& span, std::uint8_t fps) {
    const std::uint64_t lastFrame =
        std::uint64_t{span.Second} * fps + ClampSpanFrame(span.Frame, fps);
    checkLastFrame(lastFrame);
    return static_cast<std::uint32_t>(lastFrame);
}

// --- TMotionTable --------------------------------------------------------

void TMotionTable::Prepare(const TBugGroup* group, std::uint8_t fps, std::uint32_t lastFrame) {
    // A table that was never shaped takes the shape of a group without
    // members, so that even a simulation without groups shows a table.
    if (group != nullptr || columnCount_ == 0) {
        checkLastFrame(lastFrame);
        if (group != nullptr)
            checkMemberCount(*group);
        const std::size_t members = group != nullptr ? group->Members.size() : 0;
        resize(static_cast<int>(std::max<std::size_t>(members, 1) + 1),
               static_cast<int>(lastFrame + 2));
        cell(0, 0) = "Time";
        for (std::uint32_t frame = 0; frame <= lastFrame; ++frame)
            cell(0, static_cast<int>(frame + 1)) = timeLabel(frame, fps);
        for (std::size_t i = 0; i < members; ++i)
            cell(static_cast<int>(i + 1), 0) = group->Members[i]->Name;
        groupName_ = group != nullptr ? group->Name : std::string();
        memberCount_ = members;
    }
    clearValues();
    canSave_ = false;
    canShrink_ = false;
}

void TMotionTable::RecordNothing(TSimulation& simulation) {
    simulation.Rewind();
    clearValues();
    canSave_ = true;
    canShrink_ = true;
}

void CheckMotionLimits(const TBugGroup& group, std::uint32_t lastFrame) {
    checkLastFrame(lastFrame);
    checkMemberCount(group);
}

void CheckShrinkStep(int n) {
    if (n < 1)
        throw EMotionDataError(kShrinkStepMessage);
}

bool StepMotion(TSimulation& simulation, TBugGroup& group, std::uint32_t lastFrame,
                const TMotionSample& sample, const TMotionProgress& progress) {
    CheckMotionLimits(group, lastFrame);
    simulation.Rewind();
    if (group.Members.empty())
        return true;
    for (std::uint32_t frame = 0; frame <= lastFrame; ++frame) {
        // The clock never moves, so every frame sees the context of 0 : 0.
        const TFrameContext context = simulation.FrameContext();
        simulation.StepMembers(group, context,
                               [&](std::size_t i, const TBug& bug) { sample(frame, i, bug); });
        if (progress && !progress(frame + 1, lastFrame + 1))
            return false;
    }
    return true;
}

std::string MotionCellText(Extended x, Extended y, char decimalSeparator) {
    return FormatGeneral(x, decimalSeparator) + ";0;" + FormatGeneral(-y, decimalSeparator) + ";";
}

bool TMotionTable::Record(TSimulation& simulation, TBugGroup& group, std::uint32_t lastFrame,
                          char decimalSeparator, const TMotionProgress& progress) {
    CheckMotionLimits(group, lastFrame);
    Prepare(&group, simulation.FPS, lastFrame);
    const bool completed = StepMotion(
        simulation, group, lastFrame,
        [&](std::uint32_t frame, std::size_t i, const TBug& bug) {
            cell(static_cast<int>(i + 1), static_cast<int>(frame + 1)) =
                MotionCellText(bug.Position[0], bug.Position[1], decimalSeparator);
        },
        progress);
    if (!completed) {
        clearValues();
        return false;
    }
    canSave_ = true;
    canShrink_ = true;
    return true;
}

void TMotionTable::Shrink(int n) {
    CheckShrinkStep(n);
    for (int row = 2; row <= rowCount_ - 2; ++row)
        if (row % n != 0)
            for (int column = 1; column < columnCount_; ++column)
                cell(column, row).clear();
    canShrink_ = false;
}

void TMotionTable::WriteKmd(std::ostream& out) const {
    // Integers go through to_string so that no stream locale can group them.
    constexpr const char* kLineEnd = "\r\n";
    out << groupName_ << ';' << std::to_string(memberCount_) << ';' << kLineEnd;
    const std::string lastFrame = std::to_string(rowCount_ - 2);
    for (std::size_t i = 1; i <= memberCount_; ++i) {
        const int column = static_cast<int>(i);
        int kept = 0;
        for (int row = 1; row < rowCount_; ++row)
            if (!Cell(column, row).empty())
                ++kept;
        out << Cell(column, 0) << ';' << std::to_string(kept) << ";0;" << lastFrame << ';'
            << kLineEnd;
        for (int row = 1; row < rowCount_; ++row) {
            const std::string& value = Cell(column, row);
            if (!value.empty())
                out << std::to_string(row - 1) << ';' << value << kLineEnd;
        }
    }
}

const std::string& TMotionTable::Cell(int column, int row) const {
    if (column < 0 || column >= columnCount_ || row < 0 || row >= rowCount_)
        return kEmptyCell;
    return cells_[static_cast<std::size_t>(column) * static_cast<std::size_t>(rowCount_) +
                  static_cast<std::size_t>(row)];
}

std::string& TMotionTable::cell(int column, int row) {
    return cells_[static_cast<std::size_t>(column) * static_cast<std::size_t>(rowCount_) +
                  static_cast<std::size_t>(row)];
}

void TMotionTable::resize(int columns, int rows) {
    columnCount_ = columns;
    rowCount_ = rows;
    cells_.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), {});
}

void TMotionTable::clearValues() {
    for (int column = 1; column < columnCount_; ++column)
        for (int row = 1; row < rowCount_; ++row)
            cell(column, row).clear();
}

// --- the kmd file --------------------------------------------------------

void SaveKmdFile(const TMotionTable& table, const std::string& path) {
    TOutputFile output(path);
    table.WriteKmd(output.Stream());
    output.Commit();
}

} // namespace kova
