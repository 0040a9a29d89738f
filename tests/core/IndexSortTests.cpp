#include "foundations/IndexSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <vector>

namespace kova {
namespace {

// Distinct indices up to `largest`, in random order, with `largest` among them.
std::vector<std::uint32_t> shuffledIndices(std::size_t count, std::uint32_t largest,
                                           std::mt19937& random) {
    std::set<std::uint32_t> chosen{largest};
    std::uniform_int_distribution<std::uint32_t> index(0, largest);
    while (chosen.size() < count)
        chosen.insert(index(random));
    std::vector<std::uint32_t> indices(chosen.begin(), chosen.end());
    std::shuffle(indices.begin(), indices.end(), random);
    return indices;
}

TEST(IndexSort, SortsListsOfEverySizeAndIndicesOfEveryWidth) {
    std::mt19937 random(17);
    const std::size_t counts[] = {1, 2, 15, 16, 17, 63, 64, 65, 300, 5000};
    const std::uint32_t largest[] = {
        5000, 65535, 65536, 0xffffff, 0x80000000u, std::numeric_limits<std::uint32_t>::max()};
    for (const std::size_t count : counts)
        for (const std::uint32_t bound : largest) {
            std::vector<std::uint32_t> indices = shuffledIndices(count, bound, random);
            std::vector<std::uint32_t> expected = indices;
            std::sort(expected.begin(), expected.end());
            SortDistinctIndices(indices);
            EXPECT_EQ(indices, expected) << count << " indices up to " << bound;
        }
    std::vector<std::uint32_t> none;
    SortDistinctIndices(none);
    EXPECT_TRUE(none.empty());
}

} // namespace
} // namespace kova
