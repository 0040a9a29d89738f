#pragma once

#include <cstddef>
#include <cstdint>

namespace kova {

// The 64-bit FNV-1a hash of the bytes added, in order: a fingerprint, not a
// protection against anyone who wants two inputs to collide.
class TFnv1a {
public:
    void Add(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) {
            hash_ ^= bytes[i];
            hash_ *= 1099511628211ull;
        }
    }
    void AddByte(unsigned char byte) { Add(&byte, 1); }
    std::uint64_t Value() const { return hash_; }

private:
    std::uint64_t hash_ = 14695981039346656037ull;
};

} // namespace kova
