#include "foundations/Matrix.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // As the program does before any object exists.
    kova::InitVectors(2);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
