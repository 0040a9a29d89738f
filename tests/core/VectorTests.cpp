#include "foundations/Matrix.h"
#include "foundations/Streams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <unistd.h>
#include <vector>

namespace kova {
namespace {

void expectVector(const Vector& v, Extended x, Extended y) {
    EXPECT_EQ(v[0], x);
    EXPECT_EQ(v[1], y);
}

TEST(VectorTest, ArithmeticComponentByComponent) {
    const Vector a(1.5L, -2);
    const Vector b(4, 0.25L);
    Vector r(99, 99);

    VecAdd(a, b, r);
    expectVector(r, 5.5L, -1.75L);
    VecSub(a, b, r);
    expectVector(r, -2.5L, -2.25L);
    VecScale(a, r, -2);
    expectVector(r, -3, 4);
    EXPECT_EQ(VecDot(a, b), 6 - 0.5L);
    EXPECT_EQ(VecLength(Vector(3, 4)), 5);
    EXPECT_EQ(VecLength(Vector(0, 0)), 0);

    Vector copy(7, 7);
    VecCopy(a, copy);
    expectVector(copy, 1.5L, -2);
}

TEST(VectorTest, InPlaceResults) {
    Vector v(3, -4);
    VecAdd(v, v, v);
    expectVector(v, 6, -8);
    VecSub(v, Vector(1, 1), v);
    expectVector(v, 5, -9);
    VecScale(v, v, 0.5L);
    expectVector(v, 2.5L, -4.5L);

    Vector n(0, 3);
    VecNormalize(n, n);
    expectVector(n, 0, 1);
}

TEST(VectorTest, ExtendedPrecisionIsKept) {
    // 1 + 2^-60 is representable in the 64-bit significand, not in a double.
    const Extended tiny = ldexpl(1, -60);
    Vector r;
    VecAdd(Vector(1, 0), Vector(tiny, 0), r);
    EXPECT_NE(r[0], 1);
    EXPECT_EQ(r[0] - 1, tiny);
}

TEST(VectorTest, NormalizeLeavesResultAloneForZeroLength) {
    Vector r(7, 7);
    VecNormalize(Vector(0, 0), r);
    expectVector(r, 7, 7);

    Vector zero(0, 0);
    VecNormalize(zero, zero);
    expectVector(zero, 0, 0);

    VecNormalize(Vector(3, -4), r);
    EXPECT_NEAR(static_cast<double>(r[0]), 0.6, 1e-18);
    EXPECT_NEAR(static_cast<double>(r[1]), -0.8, 1e-18);
    EXPECT_NEAR(static_cast<double>(VecLength(r)), 1.0, 1e-18);
}

TEST(VectorTest, SetLength) {
    Vector r(7, 7);
    VecSetLength(Vector(0, 0), r, 10);
    expectVector(r, 0, 0);

    VecSetLength(Vector(0, 2), r, 10);
    expectVector(r, 0, 10);
    VecSetLength(Vector(0, 2), r, -10);
    expectVector(r, 0, -10);

    VecSetLength(Vector(3, 4), r, 10);
    expectVector(r, 6, 8);

    Vector v(3, 4);
    VecSetLength(v, v, 2.5L);
    expectVector(v, 1.5L, 2);
}

TEST(VectorTest, LimitCapsAndRaises) {
    const Vector a(3, 4);
    Vector r(7, 7);

    VecLimit(a, r, 10);
    expectVector(r, 3, 4);
    VecLimit(a, r, 5);
    expectVector(r, 3, 4);
    VecLimit(a, r, 2.5L);
    expectVector(r, 1.5L, 2);
    VecLimit(a, r, 0);
    expectVector(r, 0, 0);

    // A negative limit is a minimum length.
    r = Vector(7, 7);
    VecLimit(a, r, -10);
    expectVector(r, 6, 8);

    r = Vector(7, 7);
    VecLimit(a, r, -5);
    expectVector(r, 7, 7);
    VecLimit(a, r, -2);
    expectVector(r, 7, 7);
    VecLimit(Vector(0, 0), r, -10);
    expectVector(r, 7, 7);

    // A zero vector passes through a non-negative limit.
    VecLimit(Vector(0, 0), r, 10);
    expectVector(r, 0, 0);

    Vector v(3, 4);
    VecLimit(v, v, -10);
    expectVector(v, 6, 8);
    VecLimit(v, v, 5);
    expectVector(v, 3, 4);
}

TEST(VectorTest, LimitInPlaceMatchesLimitAndGivesTheNewLength) {
    const Extended nan = std::numeric_limits<Extended>::quiet_NaN();
    const Vector vectors[] = {{3, 4}, {0, 0}, {1e-3L, -2e-3L}, {nan, 1}};
    for (const Vector& start : vectors)
        for (const Extended limit : {10.0L, 5.0L, 2.5L, 0.0L, -10.0L, -5.0L, -1e-4L, nan}) {
            Vector limited = start;
            VecLimit(limited, limited, limit);
            Vector inPlace = start;
            const Extended length = VecLimitInPlace(inPlace, VecLength(inPlace), limit);
            EXPECT_TRUE(SameBits(inPlace, limited)) << start[0] << " " << limit;
            EXPECT_TRUE(SameBits(length, VecLength(limited))) << start[0] << " " << limit;
        }
}

TEST(VectorTest, IsZero) {
    EXPECT_TRUE(VecIsZero(Vector(0, 0)));
    EXPECT_TRUE(VecIsZero(Vector(-0.0L, 0)));
    EXPECT_TRUE(VecIsZero(Vector(0, -0.0L)));
    EXPECT_FALSE(VecIsZero(Vector(0, 1e-30L)));
    EXPECT_FALSE(VecIsZero(Vector(-1e-30L, 0)));
    EXPECT_FALSE(VecIsZero(Vector(1, 1)));
}

TEST(VectorTest, CopyListReplacesOnlyFromNonEmptySource) {
    int items[5] = {};
    std::vector<int*> destination = {&items[0], &items[1], &items[2]};

    const std::vector<int*> empty;
    CopyList(empty, destination);
    EXPECT_EQ(destination, (std::vector<int*>{&items[0], &items[1], &items[2]}));

    const std::vector<int*> two = {&items[4], &items[3]};
    CopyList(two, destination);
    EXPECT_EQ(destination, two);
    // The items are shared, not copied.
    EXPECT_EQ(destination[0], &items[4]);
}

TEST(VectorTest, RecordIsTwoFloatsWithTheNextRecordBehind) {
    TMemoryStream stream;
    VecWrite(Vector(1.5L, -2), stream);
    EXPECT_EQ(stream.Position(), 22);
    TWriter next(stream);
    next.WriteInteger(7);
    next.Release();

    const std::vector<std::uint8_t> expected = {
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0xFF, 0x3F, // 1.5
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0xC0, // -2
        0x02, 0x07};
    EXPECT_EQ(stream.Bytes(), expected);

    stream.SetPosition(0);
    Vector r(9, 9);
    VecRead(r, stream);
    expectVector(r, 1.5L, -2);
    // The reader read ahead, but its release leaves the stream on the next record.
    EXPECT_EQ(stream.Position(), 22);
    TReader reader(stream);
    EXPECT_EQ(reader.ReadInteger(), 7);
    reader.Release();
}

TEST(VectorTest, RecordReadAcceptsIntegerComponents) {
    TMemoryStream stream({0x02, 0x05, 0x03, 0x18, 0xFC});
    Vector r;
    VecRead(r, stream);
    expectVector(r, 5, -1000);
}

TEST(VectorTest, CopyAndIsZeroDoNotNeedInitialisation) {
    VectorsInitialised = false;
    Vector r;
    VecCopy(Vector(1, 2), r);
    const bool zero = VecIsZero(r);
    VectorsInitialised = true;
    expectVector(r, 1, 2);
    EXPECT_FALSE(zero);
}

// Runs an operation as if the unit had never been initialised. Only standard
// output is sent to the captured stream, so the check also proves where the
// message goes.
template <typename Operation> void runUninitialised(Operation operation) {
    std::fflush(stdout);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDERR_FILENO);
    VectorsInitialised = false;
    operation();
    // Not reached when the check stops the process.
    std::fputs("operation returned\n", stdout);
    std::fflush(stdout);
    std::_Exit(0);
}

TEST(VectorDeathTest, UninitialisedUnitStopsWithMessageOnStandardOutput) {
    const char* message = "^Unit MATRIX non initialized\n$";
    Vector r;
    EXPECT_EXIT(runUninitialised([] { CheckVectors(); }), testing::ExitedWithCode(1), message);
    EXPECT_EXIT(runUninitialised([&] { VecAdd(Vector(1, 1), Vector(1, 1), r); }),
                testing::ExitedWithCode(1), message);
    EXPECT_EXIT(runUninitialised([&] { VecSub(Vector(1, 1), Vector(1, 1), r); }),
                testing::ExitedWithCode(1), message);
    EXPECT_EXIT(runUninitialised([&] { VecScale(Vector(1, 1), r, 2); }), testing::ExitedWithCode(1),
                message);
    EXPECT_EXIT(runUninitialised([] { VecDot(Vector(1, 1), Vector(1, 1)); }),
                testing::ExitedWithCode(1), message);
    EXPECT_EXIT(runUninitialised([] { VecLength(Vector(1, 1)); }), testing::ExitedWithCode(1),
                message);
    EXPECT_EXIT(runUninitialised([&] { VecNormalize(Vector(0, 0), r); }),
                testing::ExitedWithCode(1), message);
    EXPECT_EXIT(runUninitialised([&] { VecSetLength(Vector(1, 1), r, 3); }),
                testing::ExitedWithCode(1), message);
    EXPECT_EXIT(runUninitialised([&] { VecLimit(Vector(1, 1), r, -3); }),
                testing::ExitedWithCode(1), message);
    // InitVectors makes the check pass.
    EXPECT_EXIT(runUninitialised([] { InitVectors(2); }), testing::ExitedWithCode(0),
                "^operation returned\n$");
}

} // namespace
} // namespace kova
