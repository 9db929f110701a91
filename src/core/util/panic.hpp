// The one C++ exception of the system: a call went past a limit of its data.
#pragma once

#include <stdexcept>
#include <string>

namespace ordavin {

/// Thrown when an operation is asked for something outside its domain (an empty path to
/// resample, a range past the last point). The boundary guard turns it into PanicException,
/// so it never ends the process.
class Panic : public std::runtime_error {
public:
    explicit Panic(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace ordavin
