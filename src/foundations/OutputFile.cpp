#include "foundations/OutputFile.h"

#include "foundations/Streams.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kova {

namespace fs = std::filesystem;

namespace {

std::string reasonText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// --- partial files the signal handler removes ------------------------------------

// A fixed table, so that the handler reads it without locks or allocation. A
// slot is free (0), being filled (1) or names a partial file (2).
struct TPartialSlot {
    std::atomic<int> State{0};
    char Path[PATH_MAX] = {};
};
std::array<TPartialSlot, 64> partialSlots;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Blocks the cleanup signals while a partial file is created and entered, or
// renamed and left, so that no signal falls between the two.
class TSignalBlock {
public:
    TSignalBlock() {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal : kCleanupSignals)
            sigaddset(&set, signal);
        pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~TSignalBlock() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    TSignalBlock(const TSignalBlock&) = delete;
    TSignalBlock& operator=(const TSignalBlock&) = delete;

private:
    sigset_t previous_;
};

int enterPartial(const std::string& path) {
    if (path.size() >= PATH_MAX)
        return -1;
    for (std::size_t i = 0; i < partialSlots.size(); ++i) {
        int expected = 0;
        if (partialSlots[i].State.compare_exchange_strong(expected, 1)) {
            std::memcpy(partialSlots[i].Path, path.c_str(), path.size() + 1);
            partialSlots[i].State.store(2);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void leavePartial(int slot) {
    if (slot >= 0)
        partialSlots[static_cast<std::size_t>(slot)].State.store(0);
}

extern "C" void removePartialsAndStop(int signal) {
    for (TPartialSlot& slot : partialSlots)
        if (slot.State.load() == 2)
            unlink(slot.Path);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// --- paths ---------------------------------------------------------------------------

// The file a path leads to once every symbolic link is followed; a link to a
// file that does not exist yet leads to where that file will be.
std::string followLinks(const std::string& path) {
    fs::path current(path);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error)))
            return current.string();
        const fs::path next = fs::read_symlink(current, error);
        if (error)
            return current.string();
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return current.string();
}

fs::path folderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// Creates ".<name>.XXXXXX<suffix>" beside the target and enters it for the
// signal handler; returns the descriptor or -1 with errno set.
int createPartial(const std::string& target, std::string& partial, int& slot) {
    const fs::path targetPath(target);
    // Room for the dot, the random part and the suffix within a name's 255 bytes.
    std::string name = targetPath.filename().string().substr(0, 200);
    const std::string suffix = kPartialFileSuffix;
    partial = (folderOf(targetPath) / ("." + name + ".XXXXXX" + suffix)).string();
    const TSignalBlock block;
    const int fd = mkostemps(partial.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (fd >= 0)
        slot = enterPartial(partial);
    return fd;
}

void removePartial(std::string& partial, int& slot) {
    if (partial.empty())
        return;
    const TSignalBlock block;
    unlink(partial.c_str());
    leavePartial(slot);
    slot = -1;
    partial.clear();
}

// Copies a whole file into another, which is cut to the copy's length; returns
// 0 or the errno of the failure.
int copyContents(const std::string& from, const std::string& to) {
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    const int out = open(to.c_str(), O_WRONLY | O_CLOEXEC);
    if (out < 0) {
        const int error = errno;
        close(in);
        return error;
    }
    int error = 0;
    std::array<char, 1 << 16> buffer;
    off_t length = 0;
    for (;;) {
        const ssize_t got = read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = errno;
            break;
        }
        if (got == 0)
            break;
        if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(got), error))
            break;
        length += got;
    }
    if (error == 0 && ftruncate(out, length) != 0)
        error = errno;
    if (error == 0 && fsync(out) != 0)
        error = errno;
    close(in);
    if (close(out) != 0 && error == 0)
        error = errno;
    return error;
}

mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

// --- the buffer between the stream and the descriptor --------------------------------

namespace {

class TDescriptorBuffer : public std::streambuf {
public:
    void Attach(int fd) {
        fd_ = fd;
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    // The errno of the first failed write, 0 while all went well.
    int Error() const { return error_; }
    bool Drain() {
        const std::size_t pending = static_cast<std::size_t>(pptr() - pbase());
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        if (error_ == 0 && pending > 0)
            WriteAll(fd_, buffer_.data(), pending, error_);
        return error_ == 0;
    }

protected:
    int_type overflow(int_type c) override {
        if (!Drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    int fd_ = -1;
    int error_ = 0;
    std::array<char, 1 << 16> buffer_{};
};

} // namespace

// --- TOutputFile ------------------------------------------------------------------------

class TOutputFile::TImpl {
public:
    enum class TWay { StandardOutput, Replace, CopyInto, Direct };

    TWay Way = TWay::Replace;
    std::string Target;
    std::string Partial;
    int PartialSlot = -1;
    // While several outputs are committed together: the previous contents.
    std::string Backup;
    int BackupSlot = -1;
    bool TargetExisted = false;
    int Fd = -1;
    TDescriptorBuffer Buffer;
    std::ostream Out{&Buffer};
    bool Finished = false;
    bool Published = false;

    ~TImpl() {
        if (Fd >= 0 && Way != TWay::StandardOutput)
            close(Fd);
        removePartial(Partial, PartialSlot);
        removePartial(Backup, BackupSlot);
    }

    // Every byte out of the buffer and the descriptor closed; returns 0 or the
    // errno of the failure.
    int Finish() {
        if (Finished)
            return 0;
        Finished = true;
        int error = Buffer.Drain() ? 0 : Buffer.Error();
        if (Way == TWay::StandardOutput)
            return error;
        if (error == 0 && Way != TWay::Direct && fsync(Fd) != 0)
            error = errno;
        if (close(Fd) != 0 && error == 0 && Way != TWay::Direct)
            error = errno;
        Fd = -1;
        return error;
    }

    // Puts the finished text in place; returns 0 or the errno of the failure.
    int Publish() {
        if (Published)
            return 0;
        Published = true;
        if (Way == TWay::Replace) {
            const TSignalBlock block;
            if (rename(Partial.c_str(), Target.c_str()) != 0)
                return errno;
            leavePartial(PartialSlot);
            PartialSlot = -1;
            Partial.clear();
            return 0;
        }
        if (Way == TWay::CopyInto) {
            const int error = copyContents(Partial, Target);
            if (error == 0)
                removePartial(Partial, PartialSlot);
            return error;
        }
        return 0;
    }

    // Keeps the target's present contents aside, so that Restore can bring
    // them back after a later output of the same command failed.
    void KeepBackup() {
        if (!TargetExisted || (Way != TWay::Replace && Way != TWay::CopyInto))
            return;
        const int fd = createPartial(Target, Backup, BackupSlot);
        if (fd < 0)
            return;
        close(fd);
        // A file about to be renamed over keeps its contents under a second
        // link; one about to be overwritten needs a copy.
        bool kept = false;
        if (Way == TWay::Replace)
            kept = unlink(Backup.c_str()) == 0 && link(Target.c_str(), Backup.c_str()) == 0;
        else
            kept = copyContents(Target, Backup) == 0;
        if (!kept)
            removePartial(Backup, BackupSlot);
    }

    void Restore() {
        if (Way != TWay::Replace && Way != TWay::CopyInto)
            return;
        if (Backup.empty()) {
            if (!TargetExisted)
                unlink(Target.c_str());
            return;
        }
        if (Way == TWay::Replace) {
            const TSignalBlock block;
            if (rename(Backup.c_str(), Target.c_str()) == 0) {
                leavePartial(BackupSlot);
                BackupSlot = -1;
                Backup.clear();
            }
        } else {
            copyContents(Backup, Target);
        }
    }
};

TOutputFile::TOutputFile(std::string path) : path_(std::move(path)), impl_(new TImpl) {
    TImpl& out = *impl_;
    if (path_ == "-") {
        out.Way = TImpl::TWay::StandardOutput;
        out.Fd = STDOUT_FILENO;
        out.Buffer.Attach(out.Fd);
        return;
    }
    out.Target = followLinks(path_);
    struct stat status {};
    mode_t mode = newFileMode();
    if (stat(out.Target.c_str(), &status) == 0) {
        out.TargetExisted = true;
        if (S_ISDIR(status.st_mode))
            fail("it is a folder");
        if (!S_ISREG(status.st_mode)) {
            out.Way = TImpl::TWay::Direct;
            out.Fd = open(out.Target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            if (out.Fd < 0)
                fail(reasonText(errno));
            out.Buffer.Attach(out.Fd);
            return;
        }
        if ((status.st_mode & 0222) == 0 || access(out.Target.c_str(), W_OK) != 0)
            fail("it is read-only");
        out.Way = status.st_nlink > 1 ? TImpl::TWay::CopyInto : TImpl::TWay::Replace;
        mode = status.st_mode & 07777;
    } else if (errno != ENOENT) {
        fail(reasonText(errno));
    }
    out.Fd = createPartial(out.Target, out.Partial, out.PartialSlot);
    if (out.Fd < 0)
        fail(reasonText(errno));
    fchmod(out.Fd, mode);
    out.Buffer.Attach(out.Fd);
}

TOutputFile::~TOutputFile() = default;

std::ostream& TOutputFile::Stream() {
    return impl_->Out;
}

const std::string& TOutputFile::PartialPath() const {
    return impl_->Partial;
}

void TOutputFile::Commit() {
    CommitAll({this});
}

void TOutputFile::CommitAll(std::initializer_list<TOutputFile*> outputs) {
    std::vector<TOutputFile*> pending;
    for (TOutputFile* output : outputs)
        if (output != nullptr)
            pending.push_back(output);
    // Everything that can fail while writing fails before any target changes.
    for (TOutputFile* output : pending)
        if (const int error = output->impl_->Finish(); error != 0)
            output->fail(reasonText(error));
    std::vector<TOutputFile*> published;
    for (TOutputFile* output : pending) {
        if (pending.size() > 1)
            output->impl_->KeepBackup();
        if (const int error = output->impl_->Publish(); error != 0) {
            for (auto it = published.rbegin(); it != published.rend(); ++it)
                (*it)->impl_->Restore();
            output->fail(reasonText(error));
        }
        published.push_back(output);
    }
    for (TOutputFile* output : published)
        removePartial(output->impl_->Backup, output->impl_->BackupSlot);
}

void TOutputFile::fail(const std::string& reason) const {
    if (path_ == "-")
        throw EStreamError("Cannot write the standard output: " + reason);
    throw EStreamError("Cannot write \"" + path_ + "\": " + reason);
}

// --- distinct outputs -------------------------------------------------------------------

namespace {

struct TFileIdentity {
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    bool CharacterDevice = false;
    std::string Resolved;

    bool SameAs(const TFileIdentity& other) const {
        if (Exists != other.Exists)
            return false;
        return Exists ? Device == other.Device && Inode == other.Inode : Resolved == other.Resolved;
    }
};

TFileIdentity identify(const std::string& path) {
    TFileIdentity identity;
    struct stat status {};
    const bool found =
        path == "-" ? fstat(STDOUT_FILENO, &status) == 0 : stat(path.c_str(), &status) == 0;
    if (found) {
        identity.Exists = true;
        identity.Device = status.st_dev;
        identity.Inode = status.st_ino;
        identity.CharacterDevice = S_ISCHR(status.st_mode);
        return identity;
    }
    std::error_code error;
    identity.Resolved = fs::weakly_canonical(fs::absolute(followLinks(path)), error).string();
    return identity;
}

} // namespace

void CheckOutputsAreDistinct(const std::vector<std::string>& inputs,
                             const std::vector<std::string>& outputs) {
    std::vector<TFileIdentity> inputIds;
    for (const std::string& input : inputs)
        inputIds.push_back(identify(input));
    std::vector<TFileIdentity> outputIds;
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        const std::string& output = outputs[o];
        const TFileIdentity id = identify(output);
        for (std::size_t i = 0; i < inputs.size(); ++i)
            if (id.SameAs(inputIds[i]))
                throw EStreamError("Cannot write \"" + output + "\": it is the input file \"" +
                                   inputs[i] + "\"");
        for (std::size_t p = 0; p < o; ++p) {
            const bool bothStandardOutput = output == "-" && outputs[p] == "-";
            if (bothStandardOutput || (id.SameAs(outputIds[p]) && !id.CharacterDevice))
                throw EStreamError("Cannot write \"" + output +
                                   "\": it is the same file as the output \"" + outputs[p] + "\"");
        }
        outputIds.push_back(id);
    }
}

void InstallPartialFileCleanup() {
    for (const int signal : kCleanupSignals) {
        struct sigaction previous {};
        sigaction(signal, nullptr, &previous);
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (previous.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = removePartialsAndStop;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

bool WriteAll(int fd, const void* data, std::size_t size, int& error) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace kova
