// The one place where C++ failures become Python exceptions.
#include "binding/boundary.hpp"

#include <exception>
#include <new>
#include <string>

#include "python/py_ref.hpp"
#include "python/python_error.hpp"
#include "util/interruption.hpp"
#include "util/memory_policy.hpp"

namespace ordavin::binding {

using python::PyRef;
using python::PythonErrorAlreadySet;

namespace {

constexpr const char* kPanicDoc =
    "An internal failure of ordavin: an operation was asked for something outside its domain.";

}  // namespace

bool python_signal_pending() noexcept {
    // Runs the handlers of the signals that arrived; the default SIGINT handler raises
    // KeyboardInterrupt. Off the main thread it returns at once.
    return PyErr_CheckSignals() != 0;
}

PyObject* panic_exception_type() noexcept {
    // Lives until the interpreter shuts down, like the module's types.
    static PyObject* type = nullptr;
    if (type == nullptr) {
        type = PyErr_NewExceptionWithDoc("ordavin.PanicException", kPanicDoc, PyExc_BaseException,
                                         nullptr);
    }
    return type;
}

void raise_panic(std::string_view message) noexcept {
    PyObject* type = panic_exception_type();
    if (type == nullptr) return;
    PyRef text = PyRef::steal(
        PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    if (!text) return;
    PyErr_SetObject(type, text.get());
}

void translate_current_exception() noexcept {
    try {
        throw;
    } catch (const PythonErrorAlreadySet&) {
        if (!PyErr_Occurred()) raise_panic("a Python error was reported but none is set");
    } catch (const util::Interrupted&) {
        // The interruption check stopped the computation because a signal handler raised.
        if (!PyErr_Occurred()) raise_panic("a computation was interrupted but no error is set");
    } catch (const util::MemoryRequestTooLarge& error) {
        PyErr_SetString(PyExc_MemoryError, error.what());
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& error) {
        raise_panic(error.what());
    } catch (...) {
        raise_panic("unknown C++ exception");
    }
}

}  // namespace ordavin::binding
