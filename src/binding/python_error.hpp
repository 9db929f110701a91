// The C++ exception that carries an already raised Python exception to the boundary.
#pragma once

#include <exception>

namespace ordavin::binding {

/// Thrown by code that calls into Python after a call failed: the Python error indicator is
/// set and holds the exception to raise. The boundary guard leaves it in place and returns
/// the error to the interpreter, so the caller sees the original Python exception.
class PythonErrorAlreadySet : public std::exception {
public:
    const char* what() const noexcept override { return "a Python exception is set"; }
};

}  // namespace ordavin::binding
