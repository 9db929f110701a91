// Signals, from C++ code, that a Python exception is already set.
#pragma once

#include <exception>

namespace ordavin::binding {

/// A Python exception is set; the boundary guard lets it propagate.
class PythonErrorAlreadySet : public std::exception {
public:
    const char* what() const noexcept override { return "Python error already set"; }
};

}  // namespace ordavin::binding
