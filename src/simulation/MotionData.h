#pragma once

#include "foundations/Extended.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace kova {

class TBug;
class TBugGroup;
class TSimulation;

// Rows, columns and frame numbers of the motion table are 16-bit counts.
inline constexpr std::uint32_t kMaxMotionFrame = 65533;
inline constexpr std::size_t kMaxMotionMembers = 65535;

// A span or group the motion table cannot hold. The message is the text the
// user is shown.
class EMotionDataError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// The end of an export span; every span starts at 0 : 0.
struct TMotionSpan {
    std::uint32_t Second = 0;
    std::uint32_t Frame = 0;
};

// The span's frame as the export dialog keeps it: at most FPS - 1 (and 0 when
// the frame rate is 0).
std::uint32_t ClampSpanFrame(std::uint32_t frame, std::uint8_t fps);

// The number f of the span's last frame, Second * FPS + clamped Frame; the
// span holds frames 0 to f. Throws EMotionDataError when f exceeds
// kMaxMotionFrame.
std::uint32_t SpanLastFrame(const TMotionSpan& span, std::uint8_t fps);

// Called after each recorded frame with the number of frames done and the
// number of frames in the span; returning false cancels the recording.
using TMotionProgress = std::function<bool(std::uint32_t framesDone, std::uint32_t frameCount)>;

// Throws EMotionDataError for a last frame beyond kMaxMotionFrame or a group
// of more than kMaxMotionMembers members.
void CheckMotionLimits(const TBugGroup& group, std::uint32_t lastFrame);

// Throws EMotionDataError for a frame step n < 1 (see TMotionTable::Shrink).
void CheckShrinkStep(int n);

// Called with each member of a recording just before it steps.
using TMotionSample = std::function<void(std::uint32_t frame, std::size_t member, const TBug& bug)>;

// The stepping every recording of motion shares. Throws EMotionDataError for
// a last frame beyond kMaxMotionFrame or more than kMaxMotionMembers members
// before the simulation is touched. Then rewinds the simulation and for every
// frame 0 .. lastFrame steps every member in order, handing it to `sample`
// just before its step. The clock stays at 0 : 0, so triggers timed 0 : 0
// fire in every frame and no others fire; bugs of other groups do not move;
// nothing is repainted. After each frame `progress` (if given) is told; when
// it returns false the stepping stops and the result is false. A group
// without members is only rewound, and progress is not called.
bool StepMotion(TSimulation& simulation, TBugGroup& group, std::uint32_t lastFrame,
                const TMotionSample& sample, const TMotionProgress& progress = {});

// A recorded position as the kmd file lists it: x + ";0;" + (-y) + ";" in the
// general number format (the file's y axis points the other way).
std::string MotionCellText(Extended x, Extended y, char decimalSeparator);

// The export dialog's value table and what its buttons do with it. Column 0
// holds the time labels, column i (1 .. n) the i-th member of the group; row 0
// holds the headings, row r (1 .. f + 1) frame r - 1. A recorded cell reads
// x + ";0;" + (-y) + ";" in the general number format.
class TMotionTable {
public:
    // A new table has no rows and no columns until it is prepared.
    //
    // Shapes the table for the group and the span 0 .. lastFrame: headings,
    // time labels s:k at the frame rate, every value cell empty, nothing to
    // shrink or save. Without a group the table keeps its size and only its
    // value cells are emptied; a table never shaped before is shaped as for a
    // group without members. Throws EMotionDataError (and changes nothing)
    // for a last frame beyond kMaxMotionFrame or more than kMaxMotionMembers
    // members.
    void Prepare(const TBugGroup* group, std::uint8_t fps, std::uint32_t lastFrame);

    // Steps the group through the span as StepMotion does, storing each
    // member's position before its step. Afterwards the members stay where
    // their last step left them. Returns false when the progress callback
    // cancelled: the value cells are then empty and there is nothing to save.
    // Limits as Prepare, checked before the simulation is touched.
    bool Record(TSimulation& simulation, TBugGroup& group, std::uint32_t lastFrame,
                char decimalSeparator = '.', const TMotionProgress& progress = {});

    // "Record" without a group: rewinds the simulation and records nothing,
    // but leaves the table ready to thin out and save, as a recording does.
    void RecordNothing(TSimulation& simulation);

    // Keeps every n-th frame: the value cells of each row b from 2 to
    // RowCount() - 2 with b mod n != 0 are emptied, so frame 0 and the last
    // frame always stay. Disables further shrinking until the next recording.
    // Throws EMotionDataError for n < 1.
    void Shrink(int n);

    // The kmd text, every line ended by CR LF: the group line, then for each
    // member its member line and one frame line per non-empty cell.
    void WriteKmd(std::ostream& out) const;

    int RowCount() const { return rowCount_; }
    int ColumnCount() const { return columnCount_; }
    // Empty text outside the table.
    const std::string& Cell(int column, int row) const;

    const std::string& GroupName() const { return groupName_; }
    std::size_t MemberCount() const { return memberCount_; }
    // The states of the dialog's "Save..." and "Apply" buttons.
    bool CanSave() const { return canSave_; }
    bool CanShrink() const { return canShrink_; }

private:
    std::string& cell(int column, int row);
    void resize(int columns, int rows);
    void clearValues();

    int columnCount_ = 0;
    int rowCount_ = 0;
    // Column-major: a member's frames lie together, as the file lists them.
    std::vector<std::string> cells_;
    std::string groupName_;
    std::size_t memberCount_ = 0;
    bool canSave_ = false;
    bool canShrink_ = false;
};

// Writes the table's kmd text to the file through TOutputFile, so a failure
// never destroys an existing file. Throws EStreamError naming the file and
// the reason.
void SaveKmdFile(const TMotionTable& table, const std::string& path);

} // namespace kova
