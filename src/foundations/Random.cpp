#include "foundations/Random.h"

#include <chrono>

namespace kova {

namespace {
std::uint32_t seed = 0;
}

std::uint32_t RandSeed() {
    return seed;
}

void SetRandSeed(std::uint32_t value) {
    seed = value;
}

std::uint32_t Random(std::uint32_t n) {
    seed = seed * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed) * n) >> 32);
}

void Randomize() {
    using namespace std::chrono;
    const auto now = system_clock::now().time_since_epoch();
    const auto sinceMidnight = duration_cast<milliseconds>(now) % days(1);
    seed = static_cast<std::uint32_t>(sinceMidnight.count());
}

} // namespace kova
