#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace kova {

// Every file the programs write goes through TOutputFile, so that no failure,
// interruption or odd target destroys what a user already has.
//
// What a path names decides how it is written:
// - "-": standard output;
// - nothing yet, or a regular file: the text goes to a partial file beside
//   it, ".<name>.XXXXXX.kova-partial", which Commit renames over the target
//   (the target's permissions are kept), so the target is either the old or
//   the complete new file;
// - a symbolic link: followed; the file it leads to is replaced as above and
//   the link stays;
// - a regular file with further hard links: the new text is completed in a
//   partial file first, then copied into the file itself, so every link sees
//   it;
// - a device, a named pipe or a socket: written directly, nothing renamed.
// Refused with EStreamError before anything is written: a folder, a
// read-only file, a folder the partial file cannot be created in.
//
// Partial files are removed when the object is destroyed without Commit, and
// by the handler of InstallPartialFileCleanup when the program is stopped.
class TOutputFile {
public:
    // Checks the target and opens the partial file (or the device); throws
    // EStreamError "Cannot write \"<path>\": <reason>".
    explicit TOutputFile(std::string path);
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    std::ostream& Stream();
    const std::string& Path() const { return path_; }
    // The partial file that Commit puts in place, for a writer that is
    // another program: it writes the whole text to this path (replacing what
    // is there) instead of to Stream(). Empty when the output is written
    // directly (standard output, a device, a named pipe).
    const std::string& PartialPath() const;

    // Flushes and puts the new text in place; throws EStreamError when it
    // could not be written completely (the target is then unchanged, but for
    // a device or pipe, which has had the text as it was written).
    void Commit();

    // Commits several outputs as one (null entries are skipped): when one
    // fails, those already committed get their previous contents back (or
    // disappear if they did not exist), and the error is thrown.
    static void CommitAll(std::initializer_list<TOutputFile*> outputs);

private:
    class TImpl;
    [[noreturn]] void fail(const std::string& reason) const;

    std::string path_;
    std::unique_ptr<TImpl> impl_;
};

// The suffix of every partial file.
inline constexpr const char* kPartialFileSuffix = ".kova-partial";

// Refuses (EStreamError) an output that is the same file as an input or as
// another output: compared by device and inode where the file exists (links
// and other spellings of a path are caught), by the resolved path otherwise.
// "-" is standard output and may be given once. Two outputs to one character
// device (/dev/null) are allowed.
void CheckOutputsAreDistinct(const std::vector<std::string>& inputs,
                             const std::vector<std::string>& outputs);

// Installs handlers for SIGINT, SIGTERM and SIGHUP that remove every partial
// file still open and then end the program as the signal would have.
void InstallPartialFileCleanup();

// Writes every byte to the file descriptor, going on after interruptions by
// signals; false with the errno in `error` when a write fails.
bool WriteAll(int fd, const void* data, std::size_t size, int& error);

} // namespace kova
