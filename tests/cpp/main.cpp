// Test runner: GoogleTest inside an embedded interpreter, so that the Clarabel adapter (which
// drives the clarabel package through Python) can be tested like the pure kernels.
#include <Python.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (what gtest_discover_tests does at build time) needs no interpreter;
    // starting one there would only make a sanitized build report the interpreter's own
    // never-freed allocations as leaks of the build step.
    if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    Py_InitializeEx(0);
    const int result = RUN_ALL_TESTS();
    if (Py_FinalizeEx() < 0) return 120;
    return result;
}
