#pragma once

#include <string>

namespace kova {

class TSimulation;
class TStream;

inline constexpr const char* kKvzMagic = "KOVA-V10";
inline constexpr const char* kKvzFileError = "Error in kvz-File!";

// The whole file: the magic, then the simulation. Saving rewinds the
// simulation first, so a file always holds start values at 0 : 0.
void WriteSimulationFile(TSimulation& simulation, TStream& stream);
// The same bytes as WriteSimulationFile, written without rewinding: a run
// goes on from where it was.
void WriteSimulationSnapshot(TSimulation& simulation, TStream& stream);

// Checks the magic and reads the file. On success the simulation holds exactly
// the file's objects, rewound; on any failure it is left exactly as it was and
// EStreamError carries the message to show.
void ReadSimulationFile(TSimulation& simulation, TStream& stream);

// The same on a path. Saving goes through TOutputFile, so a failed save never
// destroys the previous file, and links, devices and read-only files are
// treated as TOutputFile describes; a write that fails is "Stream-Write-Fehler".
void OpenSimulationFile(TSimulation& simulation, const std::string& path);
void SaveSimulationFile(TSimulation& simulation, const std::string& path);

} // namespace kova
