#include "foundations/IndexSort.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace kova {

namespace {

constexpr std::size_t kRankedSortLimit = 64;

// Four keys side by side, compared and counted by one vector instruction.
using TKeyVector = std::int32_t __attribute__((vector_size(16)));

// Puts each index in its place by counting the indices smaller than it, for
// sixteen indices at a time in four vectors. No step depends on the values,
// so nothing is mispredicted. The indices are compared as signed keys with
// the top bit flipped, which keeps their order: vector units of this
// processor family compare only signed integers.
void rankSort(std::span<std::uint32_t> indices) {
    constexpr std::size_t kVectors = 4;
    constexpr std::size_t kBlock = kVectors * sizeof(TKeyVector) / sizeof(std::int32_t);
    constexpr std::uint32_t kTopBit = 0x80000000u;
    const std::size_t count = indices.size();
    alignas(TKeyVector) std::array<std::int32_t, kRankedSortLimit + kBlock> keys;
    for (std::size_t i = 0; i < count; ++i)
        keys[i] = static_cast<std::int32_t>(indices[i] ^ kTopBit);
    // The last block's tail holds no index; its counts are never used.
    std::fill_n(keys.begin() + static_cast<std::ptrdiff_t>(count), kBlock, 0);
    std::array<std::uint32_t, kRankedSortLimit> sorted;
    for (std::size_t first = 0; first < count; first += kBlock) {
        TKeyVector block[kVectors];
        std::memcpy(block, &keys[first], sizeof block);
        TKeyVector smaller[kVectors] = {};
        for (std::size_t other = 0; other < count; ++other) {
            const TKeyVector key = TKeyVector{} + keys[other];
            // A true comparison is -1 in every bit.
            for (std::size_t v = 0; v < kVectors; ++v)
                smaller[v] -= key < block[v];
        }
        std::array<std::int32_t, kBlock> ranks;
        std::memcpy(ranks.data(), smaller, sizeof smaller);
        const std::size_t inList = std::min(kBlock, count - first);
        for (std::size_t k = 0; k < inList; ++k)
            sorted[static_cast<std::size_t>(ranks[k])] =
                static_cast<std::uint32_t>(keys[first + k]) ^ kTopBit;
    }
    std::copy_n(sorted.begin(), count, indices.begin());
}

// The digits a radix sort uses: `passes` of `bits` each.
struct TDigits {
    int Passes;
    int Bits;
};

// Each pass clears, counts and sums its digits' buckets, and counts and moves
// every index. The fewer passes, the wider the digits and the more buckets a
// pass sums; this takes the cheapest number.
TDigits cheapestDigits(int indexBits, std::size_t count) {
    constexpr int kMostPasses = 4;
    TDigits best{1, indexBits};
    std::size_t bestCost = std::numeric_limits<std::size_t>::max();
    for (int passes = 1; passes <= kMostPasses; ++passes) {
        const int bits = (indexBits + passes - 1) / passes;
        const std::size_t cost =
            static_cast<std::size_t>(passes) * ((std::size_t{2} << bits) + 3 * count);
        if (cost < bestCost) {
            best = {passes, bits};
            bestCost = cost;
        }
    }
    return best;
}

// Least significant digit first, in as few buckets as the largest index
// allows.
void radixSort(std::span<std::uint32_t> indices) {
    thread_local std::vector<std::uint32_t> scratch;
    thread_local std::vector<std::uint32_t> starts;
    scratch.resize(indices.size());
    const std::uint32_t largest = *std::max_element(indices.begin(), indices.end());
    const TDigits digits =
        cheapestDigits(std::max(1, static_cast<int>(std::bit_width(largest))), indices.size());
    const std::uint32_t digitMask = (std::uint32_t{2} << (digits.Bits - 1)) - 1;
    std::uint32_t* from = indices.data();
    std::uint32_t* to = scratch.data();
    for (int pass = 0; pass < digits.Passes; ++pass) {
        const int shift = pass * digits.Bits;
        starts.assign(std::size_t{digitMask} + 2, 0);
        for (std::size_t i = 0; i < indices.size(); ++i)
            ++starts[((from[i] >> shift) & digitMask) + 1];
        for (std::size_t digit = 1; digit < starts.size(); ++digit)
            starts[digit] += starts[digit - 1];
        for (std::size_t i = 0; i < indices.size(); ++i)
            to[starts[(from[i] >> shift) & digitMask]++] = from[i];
        std::swap(from, to);
    }
    if (from != indices.data())
        std::copy_n(from, indices.size(), indices.data());
}

} // namespace

void SortDistinctIndices(std::span<std::uint32_t> indices) {
    if (indices.size() <= kRankedSortLimit)
        rankSort(indices);
    else
        radixSort(indices);
}

} // namespace kova
