// The main of the engine's Google Benchmark programs: the vector dimension
// the engine needs, then every benchmark the program registered.
#include "foundations/Matrix.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    kova::InitVectors(2);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
