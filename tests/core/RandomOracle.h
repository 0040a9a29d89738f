#pragma once

#include <cstdint>

namespace kova::test {

// An independent model of the shared generator for expected values:
// s := s * 134775813 + 1 (mod 2^32), and a draw below n is the upper half of
// the 64-bit product s * n.
class RandomOracle {
public:
    explicit RandomOracle(std::uint32_t seed) : seed_(seed) {}

    std::uint32_t Next(std::uint32_t n) {
        seed_ = static_cast<std::uint32_t>((std::uint64_t{seed_} * 134775813u + 1u) & 0xFFFFFFFFu);
        return static_cast<std::uint32_t>((std::uint64_t{seed_} * n) >> 32);
    }
    std::uint32_t Seed() const { return seed_; }

private:
    std::uint32_t seed_;
};

} // namespace kova::test
