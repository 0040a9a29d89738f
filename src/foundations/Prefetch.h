#pragma once

namespace kova {

inline constexpr int kCacheLineBytes = 64;

// Asks the processor to bring the memory from `begin` up to `end` into the
// cache ahead of its use. A hint only: it never faults and changes nothing.
inline void PrefetchRange(const void* begin, const void* end) {
    for (const auto* line = static_cast<const char*>(begin); line < end; line += kCacheLineBytes)
        __builtin_prefetch(line);
}

// The same for the cache line holding `address`.
inline void PrefetchLine(const void* address) {
    __builtin_prefetch(address);
}

} // namespace kova
