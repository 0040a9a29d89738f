#include "RandomOracle.h"
#include "foundations/Random.h"
#include "foundations/Streams.h"
#include "foundations/VariantExtended.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace kova {
namespace {

using Bytes = std::vector<std::uint8_t>;

TVariantExtended variant(Extended base, std::uint8_t difference, VarianceType mode) {
    TVariantExtended v;
    v.SetBaseValue(base);
    v.SetDifference(difference);
    v.SetSignMode(mode);
    return v;
}

TEST(VariantExtendedTest, Defaults) {
    const TVariantExtended v;
    EXPECT_TRUE(v.Apply);
    EXPECT_EQ(v.BaseValue, 0);
    EXPECT_EQ(v.Difference, 0);
    EXPECT_EQ(v.SignMode, vtplus);
}

TEST(VariantExtendedTest, NoVarianceGivesTheBaseValueAndStillAdvancesTheGenerator) {
    for (VarianceType mode : {vtplus, vtminus, vtplusminus}) {
        const TVariantExtended v = variant(12.375L, 0, mode);
        SetRandSeed(777);
        test::RandomOracle oracle(777);
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(v.DrawValue(), 12.375L);
            oracle.Next(1);
            if (mode == vtplusminus)
                oracle.Next(2);
            EXPECT_EQ(RandSeed(), oracle.Seed()) << "mode " << int(mode) << " draw " << i;
        }
    }
}

TEST(VariantExtendedTest, DrawsFollowTheGenerator) {
    // k = Random(Difference + 1); d = k / 100 * BaseValue; under vtplusminus a
    // second draw Random(2) of 1 subtracts.
    for (VarianceType mode : {vtplus, vtminus, vtplusminus}) {
        const TVariantExtended v = variant(10, 50, mode);
        SetRandSeed(2024);
        test::RandomOracle oracle(2024);
        std::set<Extended> seen;
        for (int i = 0; i < 3000; ++i) {
            const Extended value = v.DrawValue();
            const Extended d = (static_cast<Extended>(oracle.Next(51)) / 100) * 10;
            bool subtract = mode == vtminus;
            if (mode == vtplusminus)
                subtract = oracle.Next(2) == 1;
            ASSERT_EQ(value, subtract ? 10 - d : 10 + d) << "mode " << int(mode);
            seen.insert(value);
        }
        const Extended low = mode == vtplus ? 10 : 5;
        const Extended high = mode == vtminus ? 10 : 15;
        EXPECT_EQ(*seen.begin(), low);
        EXPECT_EQ(*seen.rbegin(), high);
        // 51 values per direction; 10 itself is shared by both directions.
        EXPECT_EQ(seen.size(), mode == vtplusminus ? 101u : 51u);
    }
}

TEST(VariantExtendedTest, NegativeBaseAndLargeDifference) {
    // With vtplus a negative base moves further from zero.
    const TVariantExtended negative = variant(-10, 50, vtplus);
    SetRandSeed(5);
    std::set<Extended> seen;
    for (int i = 0; i < 2000; ++i)
        seen.insert(negative.DrawValue());
    EXPECT_EQ(*seen.begin(), -15);
    EXPECT_EQ(*seen.rbegin(), -10);

    // 200 % is used unchanged and can cross zero.
    const TVariantExtended large = variant(10, 200, vtminus);
    SetRandSeed(99);
    test::RandomOracle oracle(99);
    Extended lowest = 100;
    for (int i = 0; i < 3000; ++i) {
        const Extended value = large.DrawValue();
        ASSERT_EQ(value, 10 - (static_cast<Extended>(oracle.Next(201)) / 100) * 10);
        lowest = std::min(lowest, value);
    }
    EXPECT_EQ(lowest, -10);
}

TEST(VariantExtendedTest, Record) {
    TVariantExtended v = variant(5, 20, vtplusminus);
    v.SetApply(true);
    TMemoryStream stream;
    v.SaveToStream(stream);
    stream.WriteByte(0xEE);
    EXPECT_EQ(stream.Bytes(), (Bytes{0x02, 0x14, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xA0, 0x01, 0x40, 0x09, 0x02, 0xEE}));

    stream.SetPosition(0);
    TVariantExtended loaded = variant(1, 1, vtminus);
    loaded.SetApply(false);
    loaded.LoadFromStream(stream);
    EXPECT_EQ(loaded, v);
    EXPECT_EQ(stream.Position(), 15);

    // A Difference above 127 is written in the 16-bit form and reads back.
    TVariantExtended wide = variant(-3.5L, 200, vtminus);
    wide.SetApply(false);
    TMemoryStream wideStream;
    wide.SaveToStream(wideStream);
    EXPECT_EQ(Bytes(wideStream.Bytes().begin(), wideStream.Bytes().begin() + 3),
              (Bytes{0x03, 0xC8, 0x00}));
    EXPECT_EQ(wideStream.Bytes()[14], 0x08);
    EXPECT_EQ(wideStream.Bytes()[15], 0x01);
    wideStream.SetPosition(0);
    TVariantExtended wideLoaded;
    wideLoaded.LoadFromStream(wideStream);
    EXPECT_EQ(wideLoaded, wide);
}

TEST(VariantExtendedTest, ReadingKeepsTheLowEightBitsOfDifference) {
    // Difference 300 (03 2C 01) is stored as 44; an integer base value is accepted.
    TMemoryStream stream({0x03, 0x2C, 0x01, 0x02, 0x07, 0x08, 0x01});
    TVariantExtended v;
    v.LoadFromStream(stream);
    EXPECT_EQ(v.Difference, 44);
    EXPECT_EQ(v.BaseValue, 7);
    EXPECT_FALSE(v.Apply);
    EXPECT_EQ(v.SignMode, vtminus);

    TMemoryStream truncated({0x02, 0x01, 0x05, 0x00});
    EXPECT_THROW(v.LoadFromStream(truncated), EStreamError);
}

} // namespace
} // namespace kova
