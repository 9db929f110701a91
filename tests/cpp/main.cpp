// Test runner: GoogleTest inside an embedded interpreter, so that the Clarabel adapter (which
// drives the clarabel package through Python) can be tested like the pure kernels.
#include <Python.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    Py_InitializeEx(0);
    const int result = RUN_ALL_TESTS();
    if (Py_FinalizeEx() < 0) return 120;
    return result;
}
