#pragma once

#include <cstdint>

namespace kova {

// The process-wide pseudo-random generator: a 32-bit linear congruential
// generator. Its sequence is part of the behaviour (bugs placed before any
// re-seeding draw the same values in every run), so it is reproduced exactly.
std::uint32_t RandSeed();
void SetRandSeed(std::uint32_t seed);

// Advances the seed (s := s * 134775813 + 1 mod 2^32) and returns the upper 32
// bits of s * n: a value in 0 .. n - 1 (0 when n is 0).
std::uint32_t Random(std::uint32_t n);

// Re-seeds from the time of day in UTC: milliseconds since midnight.
void Randomize();

} // namespace kova
