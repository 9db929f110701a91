// Binding Python call arguments to the declared parameters of a method.
#include "binding/arguments.hpp"

#include "python/py_ref.hpp"

namespace ordavin::binding {

namespace {

// The messages are built by the interpreter (PyErr_Format), not in C++ strings: a failed
// allocation then becomes the Python MemoryError instead of a C++ exception in noexcept code.

bool too_many_positional(const Signature& signature, std::size_t given) {
    const std::size_t count = signature.names.size();
    const char* verb = given == 1 ? "was" : "were";
    if (signature.required == count) {
        PyErr_Format(PyExc_TypeError, "%s takes %zu positional arguments but %zu %s given",
                     signature.full_name, count, given, verb);
    } else {
        PyErr_Format(PyExc_TypeError,
                     "%s takes from %zu to %zu positional arguments but %zu %s given",
                     signature.full_name, signature.required, count, given, verb);
    }
    return false;
}

/// Puts one keyword argument into its slot. The name is compared without encoding it, so a
/// name that has no UTF-8 form (a lone surrogate) is simply no parameter's name.
bool bind_keyword(const Signature& signature, PyObject* name, PyObject* value,
                  std::span<PyObject*> slots) {
    for (std::size_t i = 0; i < signature.names.size(); ++i) {
        if (PyUnicode_CompareWithASCIIString(name, signature.names[i]) != 0) continue;
        if (slots[i] != nullptr) {
            PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'",
                         signature.full_name, signature.names[i]);
            return false;
        }
        slots[i] = value;
        return true;
    }
    PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'",
                 signature.full_name, name);
    return false;
}

/// Reports the required parameters left unfilled: 'a', 'a' and 'b', or 'a', 'b', and 'c'.
bool check_required(const Signature& signature, std::span<PyObject*> slots) {
    std::size_t missing = 0;
    for (std::size_t i = 0; i < signature.required; ++i) missing += slots[i] == nullptr;
    if (missing == 0) return true;

    python::PyRef list = python::PyRef::steal(PyUnicode_FromString(""));
    std::size_t listed = 0;
    for (std::size_t i = 0; i < signature.required && list; ++i) {
        if (slots[i] != nullptr) continue;
        const char* separator = "";
        if (listed > 0) {
            separator = missing == 2 ? " and " : (listed + 1 == missing ? ", and " : ", ");
        }
        list = python::PyRef::steal(
            PyUnicode_FromFormat("%U%s'%s'", list.get(), separator, signature.names[i]));
        ++listed;
    }
    if (!list) return false;
    PyErr_Format(PyExc_TypeError, "%s missing %zu required positional argument%s: %U",
                 signature.full_name, missing, missing == 1 ? "" : "s", list.get());
    return false;
}

bool bind_positional(const Signature& signature, PyObject* const* args, std::size_t nargs,
                     std::span<PyObject*> slots) {
    for (PyObject*& slot : slots) slot = nullptr;
    if (nargs > signature.names.size()) return too_many_positional(signature, nargs);
    for (std::size_t i = 0; i < nargs; ++i) slots[i] = args[i];
    return true;
}

}  // namespace

bool bind_arguments(const Signature& signature, PyObject* const* args, std::size_t nargs,
                    PyObject* kwnames, std::span<PyObject*> slots) noexcept {
    if (!bind_positional(signature, args, nargs, slots)) return false;
    if (kwnames != nullptr) {
        const Py_ssize_t count = PyTuple_GET_SIZE(kwnames);
        for (Py_ssize_t k = 0; k < count; ++k) {
            PyObject* value = args[nargs + static_cast<std::size_t>(k)];
            if (!bind_keyword(signature, PyTuple_GET_ITEM(kwnames, k), value, slots)) {
                return false;
            }
        }
    }
    return check_required(signature, slots);
}

bool bind_arguments(const Signature& signature, PyObject* args, PyObject* kwargs,
                    std::span<PyObject*> slots) noexcept {
    const auto nargs = static_cast<std::size_t>(PyTuple_GET_SIZE(args));
    if (!bind_positional(signature, &PyTuple_GET_ITEM(args, 0), nargs, slots)) return false;
    if (kwargs != nullptr) {
        Py_ssize_t position = 0;
        PyObject* name = nullptr;
        PyObject* value = nullptr;
        while (PyDict_Next(kwargs, &position, &name, &value)) {
            if (!bind_keyword(signature, name, value, slots)) return false;
        }
    }
    return check_required(signature, slots);
}

}  // namespace ordavin::binding
