#pragma once

#include "simulation/MotionData.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace kova {

// --- the motion table's memory ---------------------------------------------

// The memory (bytes) a TMotionTable takes for a recording of `members`
// members over `frames` frames and for saving it.
std::uint64_t MotionTableBytes(std::size_t members, std::uint64_t frames);

// A recording may take at most this share of the machine's memory (1/n).
inline constexpr std::uint64_t kMotionTableMemoryShare = 2;

// Throws EMotionDataError, naming the estimate and the limit, when the table
// for such a recording would take more than 1/kMotionTableMemoryShare of
// `machineMemory` bytes.
void CheckMotionTableMemory(std::size_t members, std::uint64_t frames, std::uint64_t machineMemory);

// The machine's physical memory in bytes; 0 when the system does not say.
std::uint64_t MachineMemoryBytes();

// --- the streamed export ---------------------------------------------------

// The memory the streamed export keeps positions in by default.
inline constexpr std::size_t kMotionExportBudget = std::size_t{64} << 20;

struct TMotionExportSettings {
    // Keep every n-th frame, as TMotionTable::Shrink(n) does.
    int Every = 1;
    char DecimalSeparator = '.';
    // Bytes of positions held in memory at once. A recording that fits is
    // kept in memory; a larger one goes to a scratch file and is written in
    // chunks of members, one pass over the file each.
    std::size_t MemoryBudget = kMotionExportBudget;
    // Where the scratch file goes; empty means $TMPDIR, or /tmp without it.
    std::string ScratchFolder;
    TMotionProgress Progress;
};

// Writes to `out` exactly the kmd text that TMotionTable::Record, Shrink
// (settings.Every) and WriteKmd would give, holding at most the budget's worth
// of positions in memory (but always one member's kept frames, 1.3 MB at
// most). Only the positions of the kept frames are stored, in binary; the
// scratch file is removed from its folder as soon as it is created, so nothing
// is left behind even when the program is killed. Throws EMotionDataError for
// the limits of StepMotion or settings.Every < 1 before the simulation is
// touched, EStreamError when the scratch file cannot be created or used.
// Returns false, having written nothing, when the progress callback
// cancelled. Stops writing once `out` fails; the caller finds that in the
// stream's state.
bool WriteMotionKmd(TSimulation& simulation, TBugGroup& group, std::uint32_t lastFrame,
                    std::ostream& out, const TMotionExportSettings& settings = {});

} // namespace kova
