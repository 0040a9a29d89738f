#include "simulation/MotionExport.h"

#include "foundations/NumberFormat.h"
#include "foundations/Streams.h"
#include "simulation/Simulation.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ostream>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace kova {

// --- the motion table's memory ---------------------------------------------

namespace {

// Measured with glibc on x86-64: every cell of the table, heading or value,
// is a std::string; a recorded value's 30 to 40 characters take a heap block
// of 80 bytes. Another 100 bytes a value keep the estimate on the side of
// refusing: 10,000 members over 251 frames are estimated at 532 MB, and took
// 425 MB when saving still built the whole text in memory.
constexpr std::uint64_t kRecordedValueBytes = 80 + 100;

std::uint64_t saturatingProduct(std::uint64_t a, std::uint64_t b) {
    std::uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

std::uint64_t saturatingSum(std::uint64_t a, std::uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// "512 bytes", "27.9 KB", "1.3 GB" (powers of 1000).
std::string memoryText(std::uint64_t bytes) {
    static constexpr const char* kUnits[] = {"bytes", "KB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < 1000)
        return std::to_string(bytes) + " bytes";
    Extended value = static_cast<Extended>(bytes);
    std::size_t unit = 0;
    while (value >= 1000 && unit + 1 < std::size(kUnits)) {
        value /= 1000;
        ++unit;
    }
    return FormatFixed(value, 1) + " " + kUnits[unit];
}

std::string tableTooLargeMessage(std::size_t members, std::uint64_t frames, std::uint64_t bytes,
                                 std::uint64_t limit) {
    return "The table for " + std::to_string(members) + " members over " + std::to_string(frames) +
           " frames would take about " + memoryText(bytes) +
           " of memory; at most half of this computer's memory, " + memoryText(limit) +
           ", may be used. For spans this long use \"kova-cli export\", which writes the "
           "motion data file without holding it in memory.";
}

} // namespace

static_assert(kMotionTableMemoryShare == 2, "the message names the share as a half");

std::uint64_t MotionTableBytes(std::size_t members, std::uint64_t frames) {
    // Column 0 holds the time labels and row 0 the headings; a group without
    // members still has one value column.
    const std::uint64_t cells = saturatingProduct(
        saturatingSum(std::max<std::uint64_t>(members, 1), 1), saturatingSum(frames, 1));
    return saturatingSum(
        saturatingProduct(cells, sizeof(std::string)),
        saturatingProduct(saturatingProduct(members, frames), kRecordedValueBytes));
}

void CheckMotionTableMemory(std::size_t members, std::uint64_t frames,
                            std::uint64_t machineMemory) {
    // A system that does not tell its memory is not second-guessed.
    if (machineMemory == 0)
        return;
    const std::uint64_t limit = machineMemory / kMotionTableMemoryShare;
    const std::uint64_t bytes = MotionTableBytes(members, frames);
    if (bytes > limit)
        throw EMotionDataError(tableTooLargeMessage(members, frames, bytes, limit));
}

std::uint64_t MachineMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return saturatingProduct(static_cast<std::uint64_t>(pages),
                             static_cast<std::uint64_t>(pageSize));
}

// --- the streamed export ---------------------------------------------------

namespace {

// A position is stored as its two coordinates in the 10-byte file encoding,
// which keeps every bit the text is formatted from.
constexpr std::size_t kCoordinateBytes = sizeof(ExtendedBytes);
constexpr std::size_t kPositionBytes = 2 * kCoordinateBytes;
// Positions go to the scratch file in blocks of this size.
constexpr std::size_t kScratchBlockBytes = std::size_t{1} << 20;

// The frames TMotionTable::Shrink(every) leaves: row r = frame + 1 stays when
// r mod every = 0, and the first and the last row always stay.
bool keptFrame(std::uint32_t frame, std::uint32_t lastFrame, int every) {
    return frame == 0 || frame == lastFrame || (frame + 1) % static_cast<std::uint32_t>(every) == 0;
}

std::string errnoText() {
    return std::error_code(errno, std::generic_category()).message();
}

// The positions of the kept frames in recording order: frame after frame,
// each frame's members in order. They stay in memory when they fit the
// budget; otherwise they go to a scratch file that has no name in any folder
// from the moment it exists, so the system removes it when it is closed,
// however the program ends.
class TPositionStore {
public:
    TPositionStore(std::uint64_t bytes, std::size_t budget, std::string folder)
        : folder_(std::move(folder)) {
        if (bytes <= budget) {
            data_.reserve(static_cast<std::size_t>(bytes));
            return;
        }
        if (folder_.empty()) {
            const char* temporary = std::getenv("TMPDIR");
            folder_ = temporary != nullptr && *temporary != '\0' ? temporary : "/tmp";
        }
        std::string name = folder_ + "/.kova-motion-XXXXXX";
        fd_ = mkostemp(name.data(), O_CLOEXEC);
        if (fd_ < 0)
            fail("create");
        unlink(name.c_str());
        data_.reserve(kScratchBlockBytes);
    }
    ~TPositionStore() {
        if (fd_ >= 0)
            close(fd_);
    }
    TPositionStore(const TPositionStore&) = delete;
    TPositionStore& operator=(const TPositionStore&) = delete;

    bool InMemory() const { return fd_ < 0; }

    void Append(const Vector& position) {
        const ExtendedBytes x = EncodeExtended(position[0]);
        const ExtendedBytes y = EncodeExtended(position[1]);
        data_.insert(data_.end(), x.begin(), x.end());
        data_.insert(data_.end(), y.begin(), y.end());
        if (!InMemory() && data_.size() + kPositionBytes > kScratchBlockBytes)
            flush();
    }

    // Makes everything appended readable.
    void Finish() {
        if (!InMemory()) {
            flush();
            data_.clear();
            data_.shrink_to_fit();
        }
    }

    // `bytes` bytes from `offset`: where they lie in memory, or read from the
    // scratch file into `buffer` at `at`.
    const unsigned char* Read(std::uint64_t offset, std::size_t bytes,
                              std::vector<unsigned char>& into, std::size_t at) {
        if (InMemory())
            return data_.data() + offset;
        unsigned char* buffer = into.data() + at;
        std::size_t done = 0;
        while (done < bytes) {
            const ssize_t got =
                pread(fd_, buffer + done, bytes - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                if (got == 0)
                    errno = EIO;
                fail("read");
            }
            done += static_cast<std::size_t>(got);
        }
        return buffer;
    }

private:
    void flush() {
        std::size_t done = 0;
        while (done < data_.size()) {
            const ssize_t put = write(fd_, data_.data() + done, data_.size() - done);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                fail("write");
            done += static_cast<std::size_t>(put);
        }
        data_.clear();
    }

    [[noreturn]] void fail(const char* what) const {
        throw EStreamError("Cannot " + std::string(what) + " the motion data's scratch file in \"" +
                           folder_ + "\": " + errnoText());
    }

    std::string folder_;
    std::vector<unsigned char> data_;
    int fd_ = -1;
};

Extended decodeCoordinate(const unsigned char* bytes) {
    ExtendedBytes encoded;
    std::memcpy(encoded.data(), bytes, encoded.size());
    return DecodeExtended(encoded);
}

void appendNumber(std::string& text, std::uint64_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    text.append(digits, end);
}

} // namespace

bool WriteMotionKmd(TSimulation& simulation, TBugGroup& group, std::uint32_t lastFrame,
                    std::ostream& out, const TMotionExportSettings& settings) {
    CheckShrinkStep(settings.Every);
    CheckMotionLimits(group, lastFrame);

    std::vector<std::uint32_t> kept;
    for (std::uint32_t frame = 0; frame <= lastFrame; ++frame)
        if (keptFrame(frame, lastFrame, settings.Every))
            kept.push_back(frame);
    const std::size_t members = group.Members.size();
    // One member's kept positions, and one kept frame's positions.
    const std::uint64_t memberBytes = std::uint64_t{kept.size()} * kPositionBytes;
    const std::uint64_t frameBytes = std::uint64_t{members} * kPositionBytes;
    TPositionStore store(memberBytes * members, settings.MemoryBudget, settings.ScratchFolder);

    const bool completed = StepMotion(
        simulation, group, lastFrame,
        [&](std::uint32_t frame, std::size_t, const TBug& bug) {
            if (keptFrame(frame, lastFrame, settings.Every))
                store.Append(bug.Position);
        },
        settings.Progress);
    if (!completed)
        return false;
    store.Finish();

    // The text lists each member with all its frames, so the positions are
    // taken in chunks of members: one read per kept frame gives the chunk's
    // positions in that frame.
    std::string text;
    constexpr const char* kLineEnd = "\r\n";
    text.append(group.Name).append(";");
    appendNumber(text, members);
    text.append(";").append(kLineEnd);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));

    const std::size_t chunk = store.InMemory()
                                  ? members
                                  : static_cast<std::size_t>(std::clamp<std::uint64_t>(
                                        settings.MemoryBudget / memberBytes, 1, members));
    std::vector<unsigned char> buffer(store.InMemory() ? 0 : chunk * memberBytes);
    std::vector<const unsigned char*> frames(kept.size());
    const char separator = settings.DecimalSeparator;
    for (std::size_t first = 0; first < members && out; first += chunk) {
        const std::size_t count = std::min(chunk, members - first);
        for (std::size_t k = 0; k < kept.size(); ++k)
            frames[k] = store.Read(k * frameBytes + first * kPositionBytes, count * kPositionBytes,
                                   buffer, k * count * kPositionBytes);
        for (std::size_t m = 0; m < count && out; ++m) {
            text.clear();
            text.append(group.Members[first + m]->Name).append(";");
            appendNumber(text, kept.size());
            text.append(";0;");
            appendNumber(text, lastFrame);
            text.append(";").append(kLineEnd);
            for (std::size_t k = 0; k < kept.size(); ++k) {
                const unsigned char* position = frames[k] + m * kPositionBytes;
                appendNumber(text, kept[k]);
                text.append(";").append(
                    MotionCellText(decodeCoordinate(position),
                                   decodeCoordinate(position + kCoordinateBytes), separator));
                text.append(kLineEnd);
            }
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
        }
    }
    return true;
}

} // namespace kova
