#include "simulation/MotionData.h"

#include "foundations/NumberFormat.h"
#include "foundations/Streams.h"
#include "simulation/Simulation.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <random>
#include <sstream>
#include <system_error>

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

std::string saveFailedMessage(const std::string& path, const std::string& reason) {
    return "Cannot save the motion data file \"" + path + "\": " + reason;
}

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

// The file's axes: arena x first, then 0, then the arena's y reversed.
std::string positionCell(const Vector& position, char separator) {
    return FormatGeneral(position[0], separator) + ";0;" + FormatGeneral(-position[1], separator) +
           ";";
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
    if (group != nullptr) {
        checkLastFrame(lastFrame);
        checkMemberCount(*group);
        const std::size_t members = group->Members.size();
        resize(static_cast<int>(std::max<std::size_t>(members, 1) + 1),
               static_cast<int>(lastFrame + 2));
        cell(0, 0) = "Time";
        for (std::uint32_t frame = 0; frame <= lastFrame; ++frame)
            cell(0, static_cast<int>(frame + 1)) = timeLabel(frame, fps);
        for (std::size_t i = 0; i < members; ++i)
            cell(static_cast<int>(i + 1), 0) = group->Members[i]->Name;
        groupName_ = group->Name;
        memberCount_ = members;
    }
    clearValues();
    canSave_ = false;
    canShrink_ = false;
}

bool TMotionTable::Record(TSimulation& simulation, TBugGroup& group, std::uint32_t lastFrame,
                          char decimalSeparator, const TMotionProgress& progress) {
    checkLastFrame(lastFrame);
    checkMemberCount(group);
    simulation.Rewind();
    Prepare(&group, simulation.FPS, lastFrame);

    const std::size_t members = memberCount_;
    if (members > 0) {
        for (std::uint32_t frame = 0; frame <= lastFrame; ++frame) {
            // The clock never moves, so every frame sees the context of 0 : 0.
            const TFrameContext context = simulation.FrameContext();
            const int row = static_cast<int>(frame + 1);
            simulation.StepMembers(group, context, [&](std::size_t i, const TBug& bug) {
                cell(static_cast<int>(i + 1), row) = positionCell(bug.Position, decimalSeparator);
            });
            if (progress && !progress(frame + 1, lastFrame + 1)) {
                clearValues();
                return false;
            }
        }
    }
    canSave_ = true;
    canShrink_ = true;
    return true;
}

void TMotionTable::Shrink(int n) {
    if (n < 1)
        throw EMotionDataError(kShrinkStepMessage);
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

namespace {

std::string errnoReason() {
    return std::error_code(errno, std::generic_category()).message();
}

std::string writeFailureReason() {
    return errno != 0 ? errnoReason() : std::string("the data could not be written completely");
}

// Creates a file next to the target that did not exist before; the random
// part keeps two savers out of each other's way.
std::FILE* createTemporary(const std::filesystem::path& target, std::filesystem::path& created) {
    std::random_device random;
    std::uniform_int_distribution<std::uint32_t> hex(0, 0xFFFFFFFFu);
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x~", static_cast<unsigned>(hex(random)));
        created = target;
        created += suffix;
        errno = 0;
        if (std::FILE* file = std::fopen(created.c_str(), "wbx"))
            return file;
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

} // namespace

void SaveKmdFile(const TMotionTable& table, const std::string& path) {
    std::ostringstream text;
    table.WriteKmd(text);
    const std::string bytes = std::move(text).str();

    const std::filesystem::path target(path);
    std::filesystem::path temporary;
    std::FILE* file = createTemporary(target, temporary);
    if (file == nullptr)
        throw EStreamError(saveFailedMessage(path, errnoReason()));

    errno = 0;
    std::string reason;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fflush(file) != 0)
        reason = writeFailureReason();
    errno = 0;
    if (std::fclose(file) != 0 && reason.empty())
        reason = writeFailureReason();
    if (!reason.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw EStreamError(saveFailedMessage(path, reason));
    }

    std::error_code renamed;
    std::filesystem::rename(temporary, target, renamed);
    if (renamed) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw EStreamError(saveFailedMessage(path, renamed.message()));
    }
}

} // namespace kova
