#pragma once

#include <cstdint>

namespace kova {

inline constexpr int kCacheLineBytes = 64;

// Asks the processor to bring the memory from `begin` up to `end` into the
// cache ahead of its use. A hint only: it never faults and changes nothing.
inline void PrefetchRange(const void* begin, const void* end) {
    // From the start of the line that holds `begin`: stepping from `begin`
    // itself would miss the last line of a range that starts inside a line.
    constexpr auto kLineMask = ~static_cast<std::uintptr_t>(kCacheLineBytes - 1);
    const auto last = reinterpret_cast<std::uintptr_t>(end);
    for (auto line = reinterpret_cast<std::uintptr_t>(begin) & kLineMask; line < last;
         line += kCacheLineBytes)
        __builtin_prefetch(reinterpret_cast<const void*>(line));
}

// The same for the cache line holding `address`.
inline void PrefetchLine(const void* address) {
    __builtin_prefetch(address);
}

// The same for a line about to be written: the processor is asked to take it
// over from any other core holding a copy.
inline void PrefetchLineForWrite(const void* address) {
    __builtin_prefetch(address, 1);
}

} // namespace kova
