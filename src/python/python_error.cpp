// Python errors seen from C++: signalling one that is set, taking it out, chaining it.
#include "python/python_error.hpp"

namespace ordavin::python {

FetchedError fetch_error() noexcept {
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    FetchedError error{PyRef::steal(type), PyRef::steal(value), PyRef::steal(traceback)};
    if (error.value && error.traceback) {
        PyException_SetTraceback(error.value.get(), error.traceback.get());
    }
    return error;
}

std::string message_of(const FetchedError& error) {
    if (!error.value) return {};
    PyRef text = PyRef::steal(PyObject_Str(error.value.get()));
    const char* utf8 = text ? PyUnicode_AsUTF8(text.get()) : nullptr;
    if (utf8 == nullptr) {
        PyErr_Clear();
        return {};
    }
    return utf8;
}

void raise_from(PyObject* type, const char* message, FetchedError cause) noexcept {
    PyRef error = PyRef::steal(PyObject_CallFunction(type, "s", message));
    if (!error) return;
    if (cause.value) {
        // Both setters steal a reference.
        PyException_SetContext(error.get(), PyRef::borrow(cause.value.get()).release());
        PyException_SetCause(error.get(), cause.value.release());
    }
    PyErr_SetObject(type, error.get());
}

}  // namespace ordavin::python
