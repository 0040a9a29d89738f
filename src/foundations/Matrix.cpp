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
