// The one place where C++ failures become Python exceptions.
#pragma once

#include <Python.h>

#include <string_view>

namespace ordavin::binding {

/// The exception class for failures no method documents as its own. Derived directly from
/// BaseException, so `except Exception` does not swallow it. Created on first need.
/// Returns a borrowed reference, or null with a Python error set.
PyObject* panic_exception_type() noexcept;

/// Sets PanicException with the given text.
void raise_panic(std::string_view message) noexcept;

/// The interruption check of the numeric core: runs the Python handlers of pending signals and
/// says stop when one raised (Ctrl-C's KeyboardInterrupt), leaving that error set.
bool python_signal_pending() noexcept;

/// Turns the exception in flight into a Python error: PythonErrorAlreadySet keeps the error
/// that is set, std::bad_alloc becomes MemoryError, util::Interrupted keeps the error
/// the signal handler set, everything else PanicException.
/// Call only from inside a catch block.
void translate_current_exception() noexcept;

/// Runs `body` (which returns a new reference, or null with an error set) so that no C++
/// exception ever reaches the interpreter.
template <class Body>
PyObject* guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        translate_current_exception();
        return nullptr;
    }
}

}  // namespace ordavin::binding
