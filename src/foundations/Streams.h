#pragma once

#include "foundations/Extended.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kova {

// The one error type of the typed-value layer and the file code. Its message is
// the text the user is shown.
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kInvalidValueMessage = "Ungültiger Wert der Eigenschaft";
inline constexpr const char* kStreamReadMessage = "Stream-Read-Fehler";
inline constexpr const char* kStreamWriteMessage = "Stream-Write-Fehler";

// A positioned byte stream. Read and Write return how many bytes they moved and
// never throw; the typed-value layer turns short transfers into errors.
class TStream {
public:
    virtual ~TStream() = default;
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    virtual std::int64_t Position() const = 0;
    virtual void SetPosition(std::int64_t position) = 0;
    virtual std::int64_t Size() const = 0;

    // Raw bytes between typed records. Reading at the end of the stream leaves
    // the byte unchanged and returns 0.
    std::size_t ReadByte(std::uint8_t& byte) { return Read(&byte, 1); }
    // A raw byte that a record cannot do without: a stream that ends before it
    // is the read error of a record cut off.
    void ReadRecordByte(std::uint8_t& byte);
    void WriteByte(std::uint8_t byte);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Position() const override { return static_cast<std::int64_t>(position_); }
    void SetPosition(std::int64_t position) override;
    std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    // Hands the bytes over, leaving the stream empty.
    // Room for this many bytes, so that writing them never copies the ones
    // written before.
    void Reserve(std::size_t count) { bytes_.reserve(count); }
    std::vector<std::uint8_t> TakeBytes() {
        position_ = 0;
        return std::move(bytes_);
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// A file read or written through a stream. A file opened for reading is read
// through a buffer that knows where it stands in the file, so that moving
// back within what was read (as every TReader's Release does) costs no call
// to the system.
class TFileStream : public TStream {
public:
    enum class Mode { Read, Create };
    static constexpr std::size_t kReadBufferSize = 64 * 1024;
    // Throws EStreamError with the system's reason when the file cannot be
    // opened or created.
    TFileStream(const std::string& path, Mode mode, std::size_t readBufferSize = kReadBufferSize);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Position() const override;
    void SetPosition(std::int64_t position) override;
    std::int64_t Size() const override;
    // Flushes and closes; throws EStreamError when the data could not be
    // written completely.
    void Close();

private:
    bool reading() const { return !readBuffer_.empty(); }
    // Refills the read buffer from the file; false at the end of the file.
    bool fillReadBuffer();

    std::FILE* file_ = nullptr;
    std::int64_t readSize_ = -1; // known once for files opened for reading
    // Files opened for reading: the bytes read ahead, the place in the file
    // of the first of them, and the next one to hand out.
    std::vector<std::uint8_t> readBuffer_;
    std::int64_t bufferStart_ = 0;
    std::size_t bufferCursor_ = 0;
    std::size_t bufferEnd_ = 0;
};

// A stream that only writes, into a std::ostream (an output file's text).
// Reading gives nothing; the position is the number of bytes written.
class TOutputStream : public TStream {
public:
    explicit TOutputStream(std::ostream& out) : out_(out) {}

    std::size_t Read(void*, std::size_t) override { return 0; }
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Position() const override { return written_; }
    void SetPosition(std::int64_t) override {}
    std::int64_t Size() const override { return written_; }

private:
    std::ostream& out_;
    std::int64_t written_ = 0;
};

// Value tags of the typed-value encoding.
enum class TValueTag : std::uint8_t {
    Int8 = 2,
    Int16 = 3,
    Int32 = 4,
    Extended = 5,
    String = 6,
    False = 8,
    True = 9,
    LString = 12,
};

inline constexpr std::size_t kRecordBufferSize = 255;

// Writes typed values through a small buffer, held in the writer itself (a
// save makes several writers per bug). Release flushes the buffer; a writer
// that is not released (because an error interrupted its record) discards
// what it still holds.
class TWriter {
public:
    explicit TWriter(TStream& stream) : stream_(stream) {}
    TWriter(const TWriter&) = delete;
    TWriter& operator=(const TWriter&) = delete;

    // The smallest of the 8-, 16- and 32-bit forms that holds the value.
    void WriteInteger(std::int32_t value);
    void WriteFloat(Extended value);
    // Short form below 256 characters, long form from 256 on.
    void WriteString(std::string_view value);
    void WriteBoolean(bool value);
    void Release();

private:
    void write(const void* data, std::size_t count);
    void flushBuffer();

    TStream& stream_;
    std::array<std::uint8_t, kRecordBufferSize> buffer_;
    std::size_t used_ = 0;
};

// Reads typed values through a small buffer that usually reads ahead; Release
// moves the stream back so that it stands directly behind the last value read.
class TReader {
public:
    explicit TReader(TStream& stream, std::size_t bufferSize = kRecordBufferSize);
    TReader(const TReader&) = delete;
    TReader& operator=(const TReader&) = delete;

    std::int32_t ReadInteger();
    // Accepts integer values as well and converts them.
    Extended ReadFloat();
    std::string ReadString();
    // True exactly for the true tag; any other tag reads as false.
    bool ReadBoolean();
    void Release();

    // Bytes not yet consumed: those in the buffer plus those left in the stream.
    std::int64_t BytesRemaining() const;

private:
    void read(void* data, std::size_t count);
    std::uint8_t readTag();
    std::int32_t readIntegerPayload(std::uint8_t tag);

    TStream& stream_;
    std::vector<std::uint8_t> buffer_;
    std::size_t position_ = 0;
    std::size_t end_ = 0;
};

} // namespace kova
