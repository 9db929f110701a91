// Binding Python call arguments to the declared parameters of a method.
#pragma once

#include <Python.h>

#include <cstddef>
#include <span>

namespace ordavin::binding {

/// What binding needs to know of a method: its full name for messages ("Path.sub_path()"),
/// its parameter names in declaration order, and how many leading ones are required. Every
/// parameter is positional-or-keyword.
struct Signature {
    const char* full_name;
    std::span<const char* const> names;
    std::size_t required;
};

/// Binds a vectorcall argument list. Each slot receives a borrowed reference to its argument,
/// or null when it was not passed. Returns false with TypeError set on a binding error.
bool bind_arguments(const Signature& signature, PyObject* const* args, std::size_t nargs,
                    PyObject* kwnames, std::span<PyObject*> slots) noexcept;

/// The same for the tuple-and-dict calling convention of tp_new.
bool bind_arguments(const Signature& signature, PyObject* args, PyObject* kwargs,
                    std::span<PyObject*> slots) noexcept;

}  // namespace ordavin::binding
