// Python errors seen from C++: signalling one that is set, taking it out, chaining it.
#pragma once

#include <Python.h>

#include <exception>
#include <string>

#include "python/py_ref.hpp"

namespace ordavin::python {

/// A Python exception is set; the boundary guard lets it propagate.
class PythonErrorAlreadySet : public std::exception {
public:
    const char* what() const noexcept override { return "Python error already set"; }
};

/// An error taken out of the interpreter: normalised, its traceback attached to the value.
struct FetchedError {
    PyRef type;
    PyRef value;
    PyRef traceback;
};

/// Takes the pending error out of the interpreter (all null when none is set).
FetchedError fetch_error() noexcept;

/// The text of str(error.value), or an empty string when there is none.
std::string message_of(const FetchedError& error);

/// Sets `type(message)` as the pending error, with `cause` as its __cause__ and __context__:
/// the way to replace a low-level error by one that says what to do about it.
void raise_from(PyObject* type, const char* message, FetchedError cause) noexcept;

}  // namespace ordavin::python
