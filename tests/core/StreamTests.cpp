#include "AllocationCounter.h"
#include "foundations/Streams.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace kova {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <typename WriteValues> Bytes written(WriteValues writeValues) {
    TMemoryStream stream;
    TWriter writer(stream);
    writeValues(writer);
    writer.Release();
    return stream.Bytes();
}

Bytes integerBytes(std::int32_t value) {
    return written([&](TWriter& w) { w.WriteInteger(value); });
}

Bytes floatBytes(Extended value) {
    return written([&](TWriter& w) { w.WriteFloat(value); });
}

// Runs the statement and returns the message of the EStreamError it throws.
template <typename Statement> std::string streamError(Statement statement) {
    try {
        statement();
    } catch (const EStreamError& error) {
        return error.what();
    }
    return "no error";
}

// Remembers the size of every Read and Write call it receives.
class RecordingStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;
    std::size_t Read(void* buffer, std::size_t count) override {
        readRequests.push_back(count);
        return TMemoryStream::Read(buffer, count);
    }
    std::size_t Write(const void* buffer, std::size_t count) override {
        writes.push_back(count);
        return TMemoryStream::Write(buffer, count);
    }
    std::vector<std::size_t> readRequests;
    std::vector<std::size_t> writes;
};

// A stream (a full disk) that takes at most `capacity` bytes in all.
class FullStream : public TMemoryStream {
public:
    explicit FullStream(std::size_t capacity) : capacity_(capacity) {}
    std::size_t Write(const void* buffer, std::size_t count) override {
        const std::size_t room = capacity_ - std::min(capacity_, Bytes().size());
        return TMemoryStream::Write(buffer, std::min(count, room));
    }

private:
    std::size_t capacity_;
};

TEST(StreamTest, IntegersTakeTheSmallestForm) {
    EXPECT_EQ(integerBytes(0), (Bytes{0x02, 0x00}));
    EXPECT_EQ(integerBytes(127), (Bytes{0x02, 0x7F}));
    EXPECT_EQ(integerBytes(128), (Bytes{0x03, 0x80, 0x00}));
    EXPECT_EQ(integerBytes(-128), (Bytes{0x02, 0x80}));
    EXPECT_EQ(integerBytes(-129), (Bytes{0x03, 0x7F, 0xFF}));
    EXPECT_EQ(integerBytes(32767), (Bytes{0x03, 0xFF, 0x7F}));
    EXPECT_EQ(integerBytes(-32768), (Bytes{0x03, 0x00, 0x80}));
    EXPECT_EQ(integerBytes(32768), (Bytes{0x04, 0x00, 0x80, 0x00, 0x00}));
    EXPECT_EQ(integerBytes(-32769), (Bytes{0x04, 0xFF, 0x7F, 0xFF, 0xFF}));
    EXPECT_EQ(integerBytes(INT32_MIN), (Bytes{0x04, 0x00, 0x00, 0x00, 0x80}));
}

TEST(StreamTest, IntegersReadBackSignExtended) {
    for (std::int32_t value : {0, 1, -1, 127, 128, -128, -129, 255, 32767, 32768, -32768, -32769,
                               INT32_MAX, INT32_MIN}) {
        TMemoryStream stream(integerBytes(value));
        TReader reader(stream);
        EXPECT_EQ(reader.ReadInteger(), value);
    }
}

TEST(StreamTest, FloatsAreTenByteExtendedAlsoForWholeNumbers) {
    EXPECT_EQ(floatBytes(1),
              (Bytes{0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xFF, 0x3F}));
    EXPECT_EQ(floatBytes(10),
              (Bytes{0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA0, 0x02, 0x40}));
    EXPECT_EQ(floatBytes(0),
              (Bytes{0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));

    // Every bit of the 64-bit significand survives the round trip.
    for (Extended value : {kPi, -1e-4000L, 1.0L + ldexpl(1, -63), LDBL_MAX, -0.0L}) {
        TMemoryStream stream(floatBytes(value));
        TReader reader(stream);
        const Extended back = reader.ReadFloat();
        EXPECT_EQ(back, value);
        EXPECT_EQ(std::signbit(back), std::signbit(value));
    }
}

TEST(StreamTest, BooleansAreBareTags) {
    EXPECT_EQ(written([](TWriter& w) { w.WriteBoolean(true); }), (Bytes{0x09}));
    EXPECT_EQ(written([](TWriter& w) { w.WriteBoolean(false); }), (Bytes{0x08}));
}

TEST(StreamTest, ShortAndLongStrings) {
    EXPECT_EQ(written([](TWriter& w) { w.WriteString("abc"); }),
              (Bytes{0x06, 0x03, 0x61, 0x62, 0x63}));
    EXPECT_EQ(written([](TWriter& w) { w.WriteString(""); }), (Bytes{0x06, 0x00}));

    const std::string s255(255, 'q');
    const Bytes short255 = written([&](TWriter& w) { w.WriteString(s255); });
    ASSERT_EQ(short255.size(), 257u);
    EXPECT_EQ(short255[0], 0x06);
    EXPECT_EQ(short255[1], 0xFF);

    std::string s300(300, 'x');
    s300[0] = '\xE4'; // 8-bit characters are stored byte for byte
    s300[299] = '\0';
    const Bytes long300 = written([&](TWriter& w) { w.WriteString(s300); });
    ASSERT_EQ(long300.size(), 305u);
    EXPECT_EQ(Bytes(long300.begin(), long300.begin() + 5), (Bytes{0x0C, 0x2C, 0x01, 0x00, 0x00}));
    EXPECT_EQ(std::string(long300.begin() + 5, long300.end()), s300);

    for (const std::string& value : {std::string(), std::string("abc"), s255, s300}) {
        TMemoryStream stream(written([&](TWriter& w) { w.WriteString(value); }));
        TReader reader(stream);
        EXPECT_EQ(reader.ReadString(), value);
    }
}

TEST(StreamTest, ReaderKinds) {
    {
        TMemoryStream stream({0x02, 0x05, 0x03, 0x00, 0x80, 0x04, 0x00, 0x00, 0x01, 0x00});
        TReader reader(stream);
        EXPECT_EQ(reader.ReadFloat(), 5.0L);
        EXPECT_EQ(reader.ReadFloat(), -32768.0L);
        EXPECT_EQ(reader.ReadFloat(), 65536.0L);
    }
    {
        TMemoryStream stream(floatBytes(5));
        TReader reader(stream);
        EXPECT_EQ(streamError([&] { reader.ReadInteger(); }), "Ungültiger Wert der Eigenschaft");
    }
    {
        TMemoryStream stream({0x06, 0x01, 0x41});
        TReader reader(stream);
        EXPECT_EQ(streamError([&] { reader.ReadFloat(); }), "Ungültiger Wert der Eigenschaft");
    }
    {
        TMemoryStream stream({0x02, 0x01});
        TReader reader(stream);
        EXPECT_EQ(streamError([&] { reader.ReadString(); }), "Ungültiger Wert der Eigenschaft");
    }
    {
        TMemoryStream stream({0x09});
        TReader reader(stream);
        EXPECT_EQ(streamError([&] { reader.ReadInteger(); }), "Ungültiger Wert der Eigenschaft");
    }
    {
        // A Boolean never fails and reads no payload: after the integer tag 02
        // the next value starts at its would-be payload.
        TMemoryStream stream({0x08, 0x09, 0x02, 0x09});
        TReader reader(stream);
        EXPECT_FALSE(reader.ReadBoolean());
        EXPECT_TRUE(reader.ReadBoolean());
        EXPECT_FALSE(reader.ReadBoolean());
        EXPECT_TRUE(reader.ReadBoolean());
    }
}

TEST(StreamTest, RecordPartsAndRawBytesInterleave) {
    RecordingStream stream;
    TWriter first(stream);
    first.WriteInteger(1);
    first.WriteInteger(200);
    first.WriteInteger(70000);
    first.Release();
    stream.WriteByte(0xAB);
    TWriter second(stream);
    second.WriteString("xy");
    second.Release();

    const Bytes expected = {0x02, 0x01, 0x03, 0xC8, 0x00, 0x04, 0x70, 0x11,
                            0x01, 0x00, 0xAB, 0x06, 0x02, 0x78, 0x79};
    EXPECT_EQ(stream.Bytes(), expected);
    // One write per record part plus the raw byte.
    EXPECT_EQ(stream.writes, (std::vector<std::size_t>{10, 1, 4}));

    stream.SetPosition(0);
    TReader reader(stream);
    EXPECT_EQ(reader.ReadInteger(), 1);
    EXPECT_EQ(reader.ReadInteger(), 200);
    EXPECT_EQ(reader.ReadInteger(), 70000);
    // The reader asked for a whole buffer and so stands behind everything.
    EXPECT_EQ(stream.readRequests, (std::vector<std::size_t>{255}));
    EXPECT_EQ(stream.Position(), 15);
    reader.Release();
    EXPECT_EQ(stream.Position(), 10);

    std::uint8_t raw = 0;
    EXPECT_EQ(stream.ReadByte(raw), 1u);
    EXPECT_EQ(raw, 0xAB);
    TReader secondReader(stream);
    EXPECT_EQ(secondReader.ReadString(), "xy");
    secondReader.Release();
    EXPECT_EQ(stream.Position(), 15);

    // At the end a raw byte read moves nothing and leaves the byte alone.
    raw = 0x5A;
    EXPECT_EQ(stream.ReadByte(raw), 0u);
    EXPECT_EQ(raw, 0x5A);
}

TEST(StreamTest, WriterHandsTheStreamWholeBuffers) {
    // 25 Floats are 275 bytes: the 24th is split over two buffer loads.
    RecordingStream stream;
    std::vector<Extended> values;
    for (int i = 0; i < 25; ++i)
        values.push_back(i * 1.25L - 7);
    {
        TWriter writer(stream);
        for (Extended value : values)
            writer.WriteFloat(value);
        EXPECT_EQ(stream.writes, (std::vector<std::size_t>{255}));
        writer.Release();
    }
    EXPECT_EQ(stream.writes, (std::vector<std::size_t>{255, 20}));

    Bytes direct;
    for (Extended value : values) {
        const Bytes one = floatBytes(value);
        direct.insert(direct.end(), one.begin(), one.end());
    }
    EXPECT_EQ(stream.Bytes(), direct);

    // Exactly two buffers' worth stays in the buffer until the release.
    RecordingStream exact;
    {
        TWriter writer(exact);
        for (int i = 0; i < 102; ++i)
            writer.WriteInteger(128 + i); // 3 bytes each: 306 bytes
        for (int i = 0; i < 68; ++i)
            writer.WriteInteger(i);               // 2 bytes each: 136 more, 442 in all
        writer.WriteInteger(1000000);             // 5 bytes: 447
        writer.WriteString(std::string(58, 'a')); // 60 bytes: 507
        writer.WriteInteger(9);                   // 509
        writer.WriteBoolean(true);                // 510
        EXPECT_EQ(exact.writes, (std::vector<std::size_t>{255}));
        writer.Release();
    }
    EXPECT_EQ(exact.writes, (std::vector<std::size_t>{255, 255}));

    // A writer with nothing left writes nothing on release.
    RecordingStream empty;
    TWriter writer(empty);
    writer.Release();
    EXPECT_TRUE(empty.writes.empty());
}

TEST(StreamTest, ReaderReadsAheadOneBufferAtATime) {
    RecordingStream stream;
    {
        TWriter writer(stream);
        for (int i = 0; i < 30; ++i)
            writer.WriteFloat(i);
        writer.Release();
    }
    stream.SetPosition(0);
    TReader reader(stream);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(reader.ReadFloat(), i);
    EXPECT_EQ(stream.readRequests, (std::vector<std::size_t>{255, 255}));
    EXPECT_EQ(stream.Position(), 330);
    reader.Release();
    EXPECT_EQ(stream.Position(), 24 * 11);
}

TEST(StreamTest, StreamEndingEarlyIsAReadError) {
    {
        TMemoryStream stream;
        TReader reader(stream);
        EXPECT_EQ(streamError([&] { reader.ReadInteger(); }), "Stream-Read-Fehler");
    }
    {
        // A Float cut off after four of its ten bytes.
        TMemoryStream stream({0x05, 0x00, 0x00, 0x00, 0x80});
        TReader reader(stream);
        EXPECT_EQ(streamError([&] { reader.ReadFloat(); }), "Stream-Read-Fehler");
    }
    {
        TMemoryStream stream({0x03, 0x01});
        TReader reader(stream);
        EXPECT_EQ(streamError([&] { reader.ReadInteger(); }), "Stream-Read-Fehler");
    }
    {
        TMemoryStream stream({0x06, 0x05, 0x61, 0x62});
        TReader reader(stream);
        EXPECT_EQ(streamError([&] { reader.ReadString(); }), "Stream-Read-Fehler");
    }
    {
        TMemoryStream stream({0x02, 0x01});
        TReader reader(stream);
        EXPECT_EQ(reader.ReadInteger(), 1);
        EXPECT_EQ(streamError([&] { reader.ReadBoolean(); }), "Stream-Read-Fehler");
    }
}

TEST(StreamTest, DamagedLongStringLengthIsRefusedWithoutAllocating) {
    // A long string claiming 2^31 - 1 characters in a stream of a few bytes.
    TMemoryStream stream({0x0C, 0xFF, 0xFF, 0xFF, 0x7F, 0x61, 0x62, 0x63});
    TReader reader(stream);
    std::string message;
    std::size_t largest = 0;
    {
        test::AllocationScope allocations;
        message = streamError([&] { reader.ReadString(); });
        largest = allocations.LargestRequest();
    }
    EXPECT_EQ(message, "Stream-Read-Fehler");
    EXPECT_LT(largest, 4096u);

    // The longest string the stream really holds is still accepted.
    TMemoryStream exact({0x0C, 0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63});
    TReader exactReader(exact);
    EXPECT_EQ(exactReader.ReadString(), "abc");
}

TEST(StreamTest, StreamTakingFewerBytesIsAWriteError) {
    {
        FullStream stream(100);
        TWriter writer(stream);
        EXPECT_EQ(streamError([&] {
                      for (int i = 0; i < 30; ++i)
                          writer.WriteFloat(i);
                  }),
                  "Stream-Write-Fehler");
    }
    {
        FullStream stream(3);
        TWriter writer(stream);
        writer.WriteString("abcd");
        EXPECT_EQ(streamError([&] { writer.Release(); }), "Stream-Write-Fehler");
    }
    {
        FullStream stream(0);
        EXPECT_EQ(streamError([&] { stream.WriteByte(1); }), "Stream-Write-Fehler");
    }
    {
        // Filling the stream exactly is no error.
        FullStream stream(6);
        TWriter writer(stream);
        writer.WriteString("abcd");
        EXPECT_EQ(streamError([&] { writer.Release(); }), "no error");
    }
}

TEST(StreamTest, FileStreamRoundTrip) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kova-stream-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "values.bin").string();

    {
        TFileStream file(path, TFileStream::Mode::Create);
        TWriter writer(file);
        writer.WriteString("KOVA");
        writer.WriteInteger(-40000);
        writer.WriteFloat(kPi);
        writer.Release();
        file.WriteByte(0x7E);
        TWriter second(file);
        second.WriteBoolean(true);
        second.WriteString(std::string(400, 'z'));
        second.Release();
        EXPECT_EQ(file.Size(), 6 + 5 + 11 + 1 + 1 + 405);
        file.Close();
    }
    EXPECT_EQ(std::filesystem::file_size(path), 429u);

    // A buffer of 7 bytes makes every record cross its end, and moving back
    // behind a reader cross its start.
    for (const std::size_t bufferSize : {std::size_t{7}, TFileStream::kReadBufferSize}) {
        SCOPED_TRACE(bufferSize);
        TFileStream file(path, TFileStream::Mode::Read, bufferSize);
        EXPECT_EQ(file.Size(), 429);
        TReader reader(file);
        EXPECT_EQ(reader.ReadString(), "KOVA");
        EXPECT_EQ(reader.ReadInteger(), -40000);
        EXPECT_EQ(reader.ReadFloat(), kPi);
        reader.Release();
        EXPECT_EQ(file.Position(), 22);
        std::uint8_t raw = 0;
        EXPECT_EQ(file.ReadByte(raw), 1u);
        EXPECT_EQ(raw, 0x7E);
        TReader second(file);
        EXPECT_TRUE(second.ReadBoolean());
        EXPECT_EQ(second.ReadString(), std::string(400, 'z'));
        EXPECT_EQ(streamError([&] { second.ReadInteger(); }), "Stream-Read-Fehler");
        file.SetPosition(6);
        TReader again(file);
        EXPECT_EQ(again.ReadInteger(), -40000);
    }

    EXPECT_THROW(TFileStream((dir / "missing.bin").string(), TFileStream::Mode::Read),
                 EStreamError);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace kova
