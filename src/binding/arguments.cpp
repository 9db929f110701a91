// Binding Python call arguments to the declared parameters of a method.
#include "binding/arguments.hpp"

#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "binding/text.hpp"

namespace ordavin::binding {

namespace {

bool too_many_positional(const Signature& signature, std::size_t given) {
    const std::size_t count = signature.names.size();
    const std::string range =
        signature.required == count
            ? std::to_string(count)
            : concat({"from ", std::to_string(signature.required), " to ", std::to_string(count)});
    const std::string message =
        concat({signature.full_name, " takes ", range, " positional arguments but ",
                std::to_string(given), given == 1 ? " was given" : " were given"});
    PyErr_SetString(PyExc_TypeError, message.c_str());
    return false;
}

/// Puts one keyword argument into its slot.
bool bind_keyword(const Signature& signature, PyObject* name, PyObject* value,
                  std::span<PyObject*> slots) {
    Py_ssize_t length = 0;
    const char* text = PyUnicode_AsUTF8AndSize(name, &length);
    if (text == nullptr) return false;
    const std::string_view key(text, static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < signature.names.size(); ++i) {
        if (key != signature.names[i]) continue;
        if (slots[i] != nullptr) {
            const std::string message =
                concat({signature.full_name, " got multiple values for argument '", key, "'"});
            PyErr_SetString(PyExc_TypeError, message.c_str());
            return false;
        }
        slots[i] = value;
        return true;
    }
    const std::string message =
        concat({signature.full_name, " got an unexpected keyword argument '", key, "'"});
    PyErr_SetString(PyExc_TypeError, message.c_str());
    return false;
}

/// Reports the required parameters left unfilled: 'a', 'a' and 'b', or 'a', 'b', and 'c'.
bool check_required(const Signature& signature, std::span<PyObject*> slots) {
    std::size_t missing = 0;
    for (std::size_t i = 0; i < signature.required; ++i) missing += slots[i] == nullptr;
    if (missing == 0) return true;

    std::string list;
    std::size_t listed = 0;
    for (std::size_t i = 0; i < signature.required; ++i) {
        if (slots[i] != nullptr) continue;
        if (listed > 0) {
            if (missing == 2) {
                list += " and ";
            } else {
                list += listed + 1 == missing ? ", and " : ", ";
            }
        }
        list += concat({"'", signature.names[i], "'"});
        ++listed;
    }
    const std::string message =
        concat({signature.full_name, " missing ", std::to_string(missing),
                " required positional argument", missing == 1 ? ": " : "s: ", list});
    PyErr_SetString(PyExc_TypeError, message.c_str());
    return false;
}

/// Runs `bind`; the messages of binding errors are built in std::string, so a failure to
/// allocate one becomes MemoryError instead of leaving the noexcept entry points.
template <class Bind>
bool reporting_memory_errors(Bind bind) noexcept {
    try {
        return bind();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
        return false;
    }
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
    return reporting_memory_errors([&] {
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
    });
}

bool bind_arguments(const Signature& signature, PyObject* args, PyObject* kwargs,
                    std::span<PyObject*> slots) noexcept {
    return reporting_memory_errors([&] {
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
    });
}

}  // namespace ordavin::binding
