#include "foundations/IndexSort.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace kova {

namespace {

// Four keys side by side, compared and counted by one vector instruction.
using TKeyVector = std::int32_t __attribute__((vector_size(16)));

// The rank sort counts for one block of indices at a time, and takes lists of
// up to kRankedSortLimit.
constexpr std::size_t kRankVectors = 4;
constexpr std::size_t kRankBlock = kRankVectors * sizeof(TKeyVector) / sizeof(std::int32_t);
constexpr std::size_t kRankedSortLimit = 64;

// Puts each index in its place by counting the indices smaller than it, for
// sixteen indices at a time in four vectors. No step depends on the values,
// so nothing is mispredicted. The indices are compared as signed keys with
// the top bit flipped, which keeps their order: vector units of this
// processor family compare only signed integers.
void rankSort(std::span<std::uint32_t> indices) {
    constexpr std::uint32_t kTopBit = 0x80000000u;
    const std::size_t count = indices.size();
    alignas(TKeyVector) std::array<std::int32_t, kRankedSortLimit + kRankBlock> keys;
    for (std::size_t i = 0; i < count; ++i)
        keys[i] = static_cast<std::int32_t>(indices[i] ^ kTopBit);
    // The last block's tail holds no index; its counts are never used.
    std::fill_n(keys.begin() + static_cast<std::ptrdiff_t>(count), kRankBlock, 0);
    std::array<std::uint32_t, kRankedSortLimit> sorted;
    for (std::size_t first = 0; first < count; first += kRankBlock) {
        TKeyVector block[kRankVectors];
        std::memcpy(block, &keys[first], sizeof block);
        TKeyVector smaller[kRankVectors] = {};
        for (std::size_t other = 0; other < count; ++other) {
            const TKeyVector key = TKeyVector{} + keys[other];
            // A true comparison is -1 in every bit. Written out, so that the
            // counts stay in registers at every optimisation level: as a loop,
            // -O2 keeps them in memory.
            static_assert(kRankVectors == 4);
            smaller[0] -= key < block[0];
            smaller[1] -= key < block[1];
            smaller[2] -= key < block[2];
            smaller[3] -= key < block[3];
        }
        std::array<std::int32_t, kRankBlock> ranks;
        std::memcpy(ranks.data(), smaller, sizeof smaller);
        const std::size_t inList = std::min(kRankBlock, count - first);
        for (std::size_t k = 0; k < inList; ++k)
            sorted[static_cast<std::size_t>(ranks[k])] =
                static_cast<std::uint32_t>(keys[first + k]) ^ kTopBit;
    }
    std::copy_n(sorted.begin(), count, indices.begin());
}

// Beyond this largest index the bitmaps below would take too much memory
// (2 MiB per thread at the limit).
constexpr std::uint32_t kLargestBitmapIndex = (1u << 24) - 1;

// Each index sets its bit in a bitmap, and a second bitmap marks the words
// that have bits set; reading the marked words in order yields the indices
// in order, at a cost that grows with the list and only slowly with the
// largest index. Both bitmaps are clear between calls: reading a word clears
// it.
void bitmapSort(std::span<std::uint32_t> indices, std::uint32_t largest) {
    constexpr unsigned kWordBits = 64;
    thread_local std::vector<std::uint64_t> words;
    thread_local std::vector<std::uint64_t> wordsInUse;
    const std::size_t wordCount = largest / kWordBits + 1;
    const std::size_t markCount = (wordCount - 1) / kWordBits + 1;
    if (words.size() < wordCount)
        words.resize(wordCount);
    if (wordsInUse.size() < markCount)
        wordsInUse.resize(markCount);
    for (const std::uint32_t index : indices) {
        const std::uint32_t word = index / kWordBits;
        words[word] |= std::uint64_t{1} << (index % kWordBits);
        wordsInUse[word / kWordBits] |= std::uint64_t{1} << (word % kWordBits);
    }
    std::uint32_t* out = indices.data();
    for (std::size_t mark = 0; mark < markCount; ++mark) {
        std::uint64_t marked = std::exchange(wordsInUse[mark], 0);
        while (marked != 0) {
            const std::size_t word = mark * kWordBits + std::countr_zero(marked);
            marked &= marked - 1;
            const auto base = static_cast<std::uint32_t>(word * kWordBits);
            std::uint64_t bits = std::exchange(words[word], 0);
            do {
                *out++ = base + static_cast<std::uint32_t>(std::countr_zero(bits));
                bits &= bits - 1;
            } while (bits != 0);
        }
    }
}

} // namespace

void SortDistinctIndices(std::span<std::uint32_t> indices) {
    // Up to its limit the rank sort is the faster one for any indices; the
    // bitmap sort's cost grows with the list, and only slowly with the
    // largest index.
    if (indices.size() <= kRankedSortLimit) {
        rankSort(indices);
        return;
    }
    const std::uint32_t largest = *std::max_element(indices.begin(), indices.end());
    if (largest <= kLargestBitmapIndex)
        bitmapSort(indices, largest);
    else
        std::sort(indices.begin(), indices.end()); // groups of over 16 million members
}

} // namespace kova
