#include "RandomOracle.h"
#include "foundations/NamedObject.h"
#include "foundations/Random.h"
#include "foundations/Streams.h"
#include "world/Bug.h"
#include "world/BugGroup.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kova {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(NamedObjectTest, RecordIsNameThenId) {
    TNamedObject object;
    object.SetName("Member");
    object.SetId(5);
    TMemoryStream stream;
    object.SaveToStream(stream);
    stream.WriteByte(0xEE);
    EXPECT_EQ(stream.Bytes(),
              (Bytes{0x06, 0x06, 0x4D, 0x65, 0x6D, 0x62, 0x65, 0x72, 0x02, 0x05, 0xEE}));

    SetIdCounter(40);
    TNamedObject loaded;
    EXPECT_EQ(loaded.Id, 41);
    stream.SetPosition(0);
    loaded.LoadFromStream(stream);
    EXPECT_EQ(loaded.Name, "Member");
    EXPECT_EQ(loaded.Id, 5);
    // Loading leaves the counter alone and the stream directly behind the Id.
    EXPECT_EQ(IdCounter(), 41);
    EXPECT_EQ(stream.Position(), 10);
}

TEST(NamedObjectTest, IdsComeFromTheSharedCounterInConstructionOrder) {
    TBugGroup group(nullptr); // takes Ids for itself and its template
    EXPECT_EQ(group.Template.Id, group.Id + 1);

    SetIdCounter(0);
    TNamedObject first;
    EXPECT_EQ(first.Name, "");
    EXPECT_EQ(first.Id, 1);

    auto bug = std::make_unique<TBug>(group);
    EXPECT_EQ(bug->Id, 2);
    EXPECT_EQ(bug->Shape.Id, 3);
    EXPECT_EQ(IdCounter(), 3);

    TDefaultBug tmpl;
    EXPECT_EQ(tmpl.Id, 4);
    EXPECT_EQ(NextId(), 5);
    EXPECT_EQ(IdCounter(), 5);
}

TEST(RandomTest, SequenceFollowsTheLinearCongruentialGenerator) {
    SetRandSeed(0);
    test::RandomOracle oracle(0);
    // From seed 0 the first seed is 1, so a first draw below 2^32 is 0.
    EXPECT_EQ(Random(1000), 0u);
    EXPECT_EQ(oracle.Next(1000), 0u);
    EXPECT_EQ(RandSeed(), 1u);
    EXPECT_EQ(Random(0xFFFFFFFFu), oracle.Next(0xFFFFFFFFu));
    EXPECT_EQ(RandSeed(), 134775814u);

    for (std::uint32_t n : {1u, 2u, 3u, 51u, 100u, 101u, 256u, 1000000u, 0xFFFFFFFFu}) {
        for (int i = 0; i < 200; ++i) {
            const std::uint32_t value = Random(n);
            ASSERT_EQ(value, oracle.Next(n));
            ASSERT_LT(value, n);
            ASSERT_EQ(RandSeed(), oracle.Seed());
        }
    }
    // A draw below 0 is 0 and still advances the generator.
    const std::uint32_t before = RandSeed();
    EXPECT_EQ(Random(0), 0u);
    EXPECT_NE(RandSeed(), before);
    EXPECT_EQ(RandSeed(), static_cast<std::uint32_t>(before * 134775813u + 1u));
}

TEST(RandomTest, RandomizeSeedsWithMillisecondsSinceMidnight) {
    Randomize();
    EXPECT_LT(RandSeed(), 24u * 60 * 60 * 1000);
}

} // namespace
} // namespace kova
