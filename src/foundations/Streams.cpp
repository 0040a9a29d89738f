#include "foundations/Streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <ostream>
#include <sys/stat.h>

namespace kova {

void TStream::ReadRecordByte(std::uint8_t& byte) {
    if (ReadByte(byte) != 1)
        throw EStreamError(kStreamReadMessage);
}

void TStream::WriteByte(std::uint8_t byte) {
    if (Write(&byte, 1) != 1)
        throw EStreamError(kStreamWriteMessage);
}

// --- TMemoryStream ---------------------------------------------------------

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
    const std::size_t available = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    const std::size_t n = std::min(count, available);
    if (n > 0)
        std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
    if (count == 0)
        return 0;
    if (position_ == bytes_.size()) {
        // Appending, as a save does: the vector grows geometrically and the
        // new bytes are not zeroed first.
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        bytes_.insert(bytes_.end(), bytes, bytes + count);
        position_ += count;
        return count;
    }
    if (position_ + count > bytes_.size())
        bytes_.resize(position_ + count);
    std::memcpy(bytes_.data() + position_, buffer, count);
    position_ += count;
    return count;
}

void TMemoryStream::SetPosition(std::int64_t position) {
    position_ = static_cast<std::size_t>(std::max<std::int64_t>(position, 0));
}

// --- TFileStream -----------------------------------------------------------

TFileStream::TFileStream(const std::string& path, Mode mode, std::size_t readBufferSize) {
    file_ = std::fopen(path.c_str(), mode == Mode::Read ? "rb" : "wb");
    if (file_ == nullptr)
        throw EStreamError("Cannot open file \"" + path + "\": " + std::strerror(errno));
    struct stat status {};
    if (fstat(fileno(file_), &status) == 0 && S_ISDIR(status.st_mode)) {
        std::fclose(file_);
        file_ = nullptr;
        throw EStreamError("Cannot open file \"" + path + "\": it is a folder");
    }
    if (mode == Mode::Read) {
        fseeko(file_, 0, SEEK_END);
        readSize_ = static_cast<std::int64_t>(ftello(file_));
        fseeko(file_, 0, SEEK_SET);
        // The stream's own buffer stands in for the library's.
        std::setvbuf(file_, nullptr, _IONBF, 0);
        readBuffer_.resize(std::max<std::size_t>(readBufferSize, 1));
    }
}

TFileStream::~TFileStream() {
    if (file_ != nullptr)
        std::fclose(file_);
}

bool TFileStream::fillReadBuffer() {
    bufferStart_ += static_cast<std::int64_t>(bufferEnd_);
    bufferCursor_ = 0;
    bufferEnd_ = std::fread(readBuffer_.data(), 1, readBuffer_.size(), file_);
    return bufferEnd_ > 0;
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
    if (file_ == nullptr || !reading())
        return 0;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        if (bufferCursor_ == bufferEnd_ && !fillReadBuffer())
            break;
        const std::size_t n = std::min(count - done, bufferEnd_ - bufferCursor_);
        std::memcpy(bytes + done, readBuffer_.data() + bufferCursor_, n);
        bufferCursor_ += n;
        done += n;
    }
    return done;
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
    return file_ != nullptr && !reading() ? std::fwrite(buffer, 1, count, file_) : 0;
}

std::int64_t TFileStream::Position() const {
    if (file_ == nullptr)
        return 0;
    if (reading())
        return bufferStart_ + static_cast<std::int64_t>(bufferCursor_);
    return static_cast<std::int64_t>(ftello(file_));
}

void TFileStream::SetPosition(std::int64_t position) {
    if (file_ == nullptr)
        return;
    if (!reading()) {
        fseeko(file_, static_cast<off_t>(position), SEEK_SET);
        return;
    }
    if (position >= bufferStart_ &&
        position <= bufferStart_ + static_cast<std::int64_t>(bufferEnd_)) {
        bufferCursor_ = static_cast<std::size_t>(position - bufferStart_);
        return;
    }
    if (fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0)
        return;
    bufferStart_ = position;
    bufferCursor_ = bufferEnd_ = 0;
}

std::int64_t TFileStream::Size() const {
    if (file_ == nullptr)
        return 0;
    if (readSize_ >= 0)
        return readSize_;
    const off_t here = ftello(file_);
    fseeko(file_, 0, SEEK_END);
    const off_t size = ftello(file_);
    fseeko(file_, here, SEEK_SET);
    return static_cast<std::int64_t>(size);
}

void TFileStream::Close() {
    if (file_ == nullptr)
        return;
    const bool flushed = std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed)
        throw EStreamError(kStreamWriteMessage);
}

// --- TOutputStream ---------------------------------------------------------

std::size_t TOutputStream::Write(const void* buffer, std::size_t count) {
    if (!out_.write(static_cast<const char*>(buffer), static_cast<std::streamsize>(count)))
        return 0;
    written_ += static_cast<std::int64_t>(count);
    return count;
}

// --- TWriter ---------------------------------------------------------------

void TWriter::flushBuffer() {
    if (used_ == 0)
        return;
    if (stream_.Write(buffer_.data(), used_) != used_)
        throw EStreamError(kStreamWriteMessage);
    used_ = 0;
}

void TWriter::write(const void* data, std::size_t count) {
    if (count == 0)
        return;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (count <= buffer_.size() - used_) {
        std::memcpy(buffer_.data() + used_, bytes, count);
        used_ += count;
        return;
    }
    while (count > 0) {
        if (used_ == buffer_.size())
            flushBuffer();
        const std::size_t n = std::min(count, buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, bytes, n);
        used_ += n;
        bytes += n;
        count -= n;
    }
}

namespace {

template <typename T> void storeLittleEndian(T value, std::uint8_t* out) {
    using U = std::make_unsigned_t<T>;
    auto bits = static_cast<U>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out[i] = static_cast<std::uint8_t>(bits & 0xFFu);
        bits = static_cast<U>(bits >> 8);
    }
}

} // namespace

void TWriter::WriteInteger(std::int32_t value) {
    std::uint8_t bytes[5];
    std::size_t size = 0;
    if (value >= -128 && value <= 127) {
        bytes[0] = static_cast<std::uint8_t>(TValueTag::Int8);
        storeLittleEndian(static_cast<std::int8_t>(value), bytes + 1);
        size = 2;
    } else if (value >= -32768 && value <= 32767) {
        bytes[0] = static_cast<std::uint8_t>(TValueTag::Int16);
        storeLittleEndian(static_cast<std::int16_t>(value), bytes + 1);
        size = 3;
    } else {
        bytes[0] = static_cast<std::uint8_t>(TValueTag::Int32);
        storeLittleEndian(value, bytes + 1);
        size = 5;
    }
    write(bytes, size);
}

void TWriter::WriteFloat(Extended value) {
    std::array<std::uint8_t, 1 + std::tuple_size_v<ExtendedBytes>> record;
    record[0] = static_cast<std::uint8_t>(TValueTag::Extended);
    const ExtendedBytes bytes = EncodeExtended(value);
    std::copy(bytes.begin(), bytes.end(), record.begin() + 1);
    write(record.data(), record.size());
}

void TWriter::WriteString(std::string_view value) {
    if (value.size() < 256) {
        const std::uint8_t header[2] = {static_cast<std::uint8_t>(TValueTag::String),
                                        static_cast<std::uint8_t>(value.size())};
        write(header, 2);
    } else {
        std::uint8_t header[5];
        header[0] = static_cast<std::uint8_t>(TValueTag::LString);
        storeLittleEndian(static_cast<std::uint32_t>(value.size()), header + 1);
        write(header, 5);
    }
    write(value.data(), value.size());
}

void TWriter::WriteBoolean(bool value) {
    const auto tag = static_cast<std::uint8_t>(value ? TValueTag::True : TValueTag::False);
    write(&tag, 1);
}

void TWriter::Release() {
    flushBuffer();
}

// --- TReader ---------------------------------------------------------------

TReader::TReader(TStream& stream, std::size_t bufferSize) : stream_(stream), buffer_(bufferSize) {}

void TReader::read(void* data, std::size_t count) {
    auto* bytes = static_cast<std::uint8_t*>(data);
    while (count > 0) {
        if (position_ == end_) {
            end_ = stream_.Read(buffer_.data(), buffer_.size());
            position_ = 0;
            if (end_ == 0)
                throw EStreamError(kStreamReadMessage);
        }
        const std::size_t n = std::min(count, end_ - position_);
        std::memcpy(bytes, buffer_.data() + position_, n);
        position_ += n;
        bytes += n;
        count -= n;
    }
}

std::uint8_t TReader::readTag() {
    std::uint8_t tag = 0;
    read(&tag, 1);
    return tag;
}

namespace {

template <typename T> T loadLittleEndian(const std::uint8_t* in) {
    using U = std::make_unsigned_t<T>;
    U bits = 0;
    for (std::size_t i = sizeof(T); i-- > 0;)
        bits = static_cast<U>((bits << 8) | in[i]);
    return static_cast<T>(bits);
}

} // namespace

std::int32_t TReader::readIntegerPayload(std::uint8_t tag) {
    std::uint8_t bytes[4];
    switch (static_cast<TValueTag>(tag)) {
    case TValueTag::Int8:
        read(bytes, 1);
        return loadLittleEndian<std::int8_t>(bytes);
    case TValueTag::Int16:
        read(bytes, 2);
        return loadLittleEndian<std::int16_t>(bytes);
    case TValueTag::Int32:
        read(bytes, 4);
        return loadLittleEndian<std::int32_t>(bytes);
    default:
        throw EStreamError(kInvalidValueMessage);
    }
}

std::int32_t TReader::ReadInteger() {
    return readIntegerPayload(readTag());
}

Extended TReader::ReadFloat() {
    const std::uint8_t tag = readTag();
    if (tag != static_cast<std::uint8_t>(TValueTag::Extended))
        return static_cast<Extended>(readIntegerPayload(tag));
    ExtendedBytes bytes;
    read(bytes.data(), bytes.size());
    return DecodeExtended(bytes);
}

std::string TReader::ReadString() {
    const std::uint8_t tag = readTag();
    std::uint32_t length = 0;
    if (tag == static_cast<std::uint8_t>(TValueTag::String)) {
        std::uint8_t n = 0;
        read(&n, 1);
        length = n;
    } else if (tag == static_cast<std::uint8_t>(TValueTag::LString)) {
        std::uint8_t n[4];
        read(n, 4);
        length = loadLittleEndian<std::uint32_t>(n);
    } else {
        throw EStreamError(kInvalidValueMessage);
    }
    // A length beyond the end of the stream can only be a truncated or damaged
    // file; refuse it before allocating anything for it.
    if (static_cast<std::int64_t>(length) > BytesRemaining())
        throw EStreamError(kStreamReadMessage);
    std::string value(length, '\0');
    read(value.data(), length);
    return value;
}

bool TReader::ReadBoolean() {
    return readTag() == static_cast<std::uint8_t>(TValueTag::True);
}

void TReader::Release() {
    const std::size_t unread = end_ - position_;
    if (unread > 0)
        stream_.SetPosition(stream_.Position() - static_cast<std::int64_t>(unread));
    position_ = end_ = 0;
    buffer_.clear();
    buffer_.shrink_to_fit();
}

std::int64_t TReader::BytesRemaining() const {
    const std::int64_t inStream = std::max<std::int64_t>(stream_.Size() - stream_.Position(), 0);
    return static_cast<std::int64_t>(end_ - position_) + inStream;
}

} // namespace kova
