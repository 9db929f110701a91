// Test runner: GoogleTest inside an embedded interpreter, so that the Clarabel adapter (which
// drives the clarabel package through Python) can be tested like the pure kernels.
//
// ORDAVIN_TEST_PYTHON may name a Python executable (for example a virtual environment's
// bin/python); the embedded interpreter then takes that environment's paths and site-packages,
// where clarabel is installed.
#include <Python.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool start_interpreter() {
    PyConfig config;
    PyConfig_InitPythonConfig(&config);
    config.install_signal_handlers = 0;
    config.parse_argv = 0;
    PyStatus status = PyStatus_Ok();
    if (const char* executable = std::getenv("ORDAVIN_TEST_PYTHON")) {
        status = PyConfig_SetBytesString(&config, &config.program_name, executable);
    }
    if (!PyStatus_Exception(status)) status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    if (PyStatus_Exception(status)) {
        std::fprintf(stderr, "cannot start Python: %s\n", status.err_msg ? status.err_msg : "");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (what gtest_discover_tests does at build time) needs no interpreter;
    // starting one there would only make a sanitized build report the interpreter's own
    // never-freed allocations as leaks of the build step.
    if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    if (!start_interpreter()) return 1;
    const int result = RUN_ALL_TESTS();
    if (Py_FinalizeEx() < 0) return 120;
    return result;
}
