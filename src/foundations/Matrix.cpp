#include "foundations/Matrix.h"

#include "foundations/Streams.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kova {

std::int32_t VectorDimension = 0;
bool VectorsInitialised = false;

void InitVectors(std::int32_t dimension) {
    VectorDimension = dimension;
    VectorsInitialised = true;
    CheckVectors();
}

void CheckVectors() {
    if (VectorsInitialised)
        return;
    std::fputs("Unit MATRIX non initialized\n", stdout);
    std::fflush(stdout);
    std::exit(1);
}

namespace {

// Addition and subtraction are one operation r := k * b + a with k = +1 or -1.
void addScaled(const Vector& a, const Vector& b, Vector& r, Extended k) {
    CheckVectors();
    for (int i = 0; i < kVectorDimension; ++i)
        r[i] = k * b[i] + a[i];
}

} // namespace

void VecAdd(const Vector& a, const Vector& b, Vector& r) {
    addScaled(a, b, r, 1);
}

void VecSub(const Vector& a, const Vector& b, Vector& r) {
    addScaled(a, b, r, -1);
}

void VecScale(const Vector& a, Vector& r, Extended s) {
    CheckVectors();
    for (int i = 0; i < kVectorDimension; ++i)
        r[i] = s * a[i];
}

Extended VecDot(const Vector& a, const Vector& b) {
    CheckVectors();
    Extended sum = 0;
    for (int i = 0; i < kVectorDimension; ++i)
        sum += a[i] * b[i];
    return sum;
}

Extended VecLength(const Vector& a) {
    CheckVectors();
    Extended sum = 0;
    for (int i = 0; i < kVectorDimension; ++i)
        sum += a[i] * a[i];
    return sqrtl(sum);
}

void VecNormalize(const Vector& a, Vector& r) {
    const Extended length = VecLength(a);
    if (length != 0)
        VecScale(a, r, 1 / length);
}

void VecSetLength(const Vector& a, Vector& r, Extended len) {
    const Extended length = VecLength(a);
    if (length != 0)
        VecScale(a, r, len / length);
    else
        VecCopy(a, r);
}

void VecLimit(const Vector& a, Vector& r, Extended limit) {
    const Extended length = VecLength(a);
    if (limit >= 0) {
        if (limit >= length)
            VecCopy(a, r);
        else
            VecScale(a, r, limit / length);
        return;
    }
    const Extended minimum = -limit;
    if (length < minimum && length > 0)
        VecScale(a, r, minimum / length);
}

void VecCopy(const Vector& a, Vector& r) {
    for (int i = 0; i < kVectorDimension; ++i)
        r[i] = a[i];
}

bool VecIsZero(const Vector& a) {
    for (int i = 0; i < kVectorDimension; ++i)
        if (a[i] != 0)
            return false;
    return true;
}

void VecRead(Vector& r, TStream& stream) {
    TReader reader(stream);
    for (int i = 0; i < kVectorDimension; ++i)
        r[i] = reader.ReadFloat();
    reader.Release();
}

void VecWrite(const Vector& a, TStream& stream) {
    TWriter writer(stream);
    for (int i = 0; i < kVectorDimension; ++i)
        writer.WriteFloat(a[i]);
    writer.Release();
}

} // namespace kova
