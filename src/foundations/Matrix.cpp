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
    if (!VectorsInitialised)
        VectorsNotInitialised();
}

void VectorsNotInitialised() {
    std::fputs("Unit MATRIX non initialized\n", stdout);
    std::fflush(stdout);
    std::exit(1);
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
