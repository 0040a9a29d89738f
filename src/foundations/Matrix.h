#pragma once

#include "foundations/Extended.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kova {

class TStream;

// The arena is two-dimensional: component 0 is x and component 1 is y, in
// metres. The process-wide dimension is kept for its start-up check, but a
// Vector is a small value type with room for exactly this many components.
inline constexpr int kVectorDimension = 2;

struct Vector {
    std::array<Extended, kVectorDimension> c{};

    Vector() = default;
    Vector(Extended x, Extended y) : c{x, y} {}

    Extended& operator[](int i) { return c[static_cast<std::size_t>(i)]; }
    const Extended& operator[](int i) const { return c[static_cast<std::size_t>(i)]; }
    bool operator==(const Vector&) const = default;
};

// Process-wide state of the vector unit. Zero and false until InitVectors.
extern std::int32_t VectorDimension;
extern bool VectorsInitialised;

// Sets the dimension (the program always passes 2) and marks the unit ready.
void InitVectors(std::int32_t dimension);
// Stops the process with "Unit MATRIX non initialized" and exit code 1 when
// InitVectors has not run.
void CheckVectors();

// Stops the process as CheckVectors does; kept out of line so that the checks
// in the inline operations stay cheap.
[[noreturn]] void VectorsNotInitialised();

// Every operation writes its result component by component into a vector the
// caller holds; the result may be one of the operands. They run for every bug
// several times per frame, so the arithmetic ones are inline.
inline void VecAdd(const Vector& a, const Vector& b, Vector& r) {
    if (!VectorsInitialised)
        VectorsNotInitialised();
    for (int i = 0; i < kVectorDimension; ++i)
        r[i] = a[i] + b[i];
}

inline void VecSub(const Vector& a, const Vector& b, Vector& r) {
    if (!VectorsInitialised)
        VectorsNotInitialised();
    for (int i = 0; i < kVectorDimension; ++i)
        r[i] = a[i] - b[i];
}

inline void VecScale(const Vector& a, Vector& r, Extended s) {
    if (!VectorsInitialised)
        VectorsNotInitialised();
    for (int i = 0; i < kVectorDimension; ++i)
        r[i] = s * a[i];
}

inline Extended VecDot(const Vector& a, const Vector& b) {
    if (!VectorsInitialised)
        VectorsNotInitialised();
    Extended sum = 0;
    for (int i = 0; i < kVectorDimension; ++i)
        sum += a[i] * b[i];
    return sum;
}

// Equal bit for bit in every component (see SameBits).
inline bool SameBits(const Vector& a, const Vector& b) {
    return SameBits(a[0], b[0]) && SameBits(a[1], b[1]);
}

// No scaling against overflow. The square is VecDot(a, a) without its first
// addition, to zero, which leaves a square (never -0) bit for bit as it is.
inline Extended VecLength(const Vector& a) {
    if (!VectorsInitialised)
        VectorsNotInitialised();
    static_assert(kVectorDimension == 2);
    return sqrtl(a[0] * a[0] + a[1] * a[1]);
}
inline void VecCopy(const Vector& a, Vector& r) {
    for (int i = 0; i < kVectorDimension; ++i)
        r[i] = a[i];
}

inline bool VecIsZero(const Vector& a) {
    for (int i = 0; i < kVectorDimension; ++i)
        if (a[i] != 0)
            return false;
    return true;
}

// r := a / |a|; r is not written at all when |a| = 0.
inline void VecNormalize(const Vector& a, Vector& r) {
    const Extended length = VecLength(a);
    if (length != 0)
        VecScale(a, r, 1 / length);
}

// r := a * len / |a|; a zero a is copied, so r becomes zero.
inline void VecSetLength(const Vector& a, Vector& r, Extended len) {
    const Extended length = VecLength(a);
    if (length != 0)
        VecScale(a, r, len / length);
    else
        VecCopy(a, r);
}

// How VecLimit changes a vector of length `length`: whether it scales it,
// and by what factor.
struct TLimitScale {
    bool Scales = false;
    Extended Factor = 0;
};
inline TLimitScale LimitScale(Extended length, Extended limit) {
    if (limit >= 0) {
        if (limit >= length)
            return {};
        return {true, limit / length};
    }
    const Extended minimum = -limit;
    if (length < minimum && length > 0)
        return {true, minimum / length};
    return {};
}

// limit >= 0 caps the length at limit. limit < 0 raises a non-zero length to
// -limit; a longer or zero vector leaves r unwritten.
inline void VecLimit(const Vector& a, Vector& r, Extended limit) {
    const TLimitScale scale = LimitScale(VecLength(a), limit);
    if (scale.Scales)
        VecScale(a, r, scale.Factor);
    else if (limit >= 0)
        VecCopy(a, r);
}

// VecLimit(v, v, limit) for a v whose length is known. Returns v's length
// afterwards, worked out again only when v was scaled.
inline Extended VecLimitInPlace(Vector& v, Extended length, Extended limit) {
    const TLimitScale scale = LimitScale(length, limit);
    if (!scale.Scales)
        return length;
    VecScale(v, v, scale.Factor);
    return VecLength(v);
}

// The vector record: its components as Float values, with a writer (reader)
// of its own.
void VecRead(Vector& r, TStream& stream);
void VecWrite(const Vector& a, TStream& stream);

// Replaces the destination by the source's items, in order; an empty source
// leaves the destination exactly as it was. Items are shared, not copied.
template <typename T> void CopyList(const std::vector<T>& source, std::vector<T>& destination) {
    if (source.empty())
        return;
    destination.assign(source.begin(), source.end());
}

} // namespace kova
