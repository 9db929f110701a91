// Building a class from its PyType_Spec, with the attributes stored in its dictionary.
#pragma once

#include <Python.h>

#include <new>
#include <optional>
#include <vector>

#include "python/py_ref.hpp"

namespace ordavin::binding {

/// One entry of a class dictionary, made once when the class is built.
struct ClassAttribute {
    const char* name;
    python::PyRef value;
};

/// A plain function whose __module__ reads "ordavin", so that pickle finds it as
/// "ordavin.<Class>.<name>" once it is a class attribute. Null with a Python error set.
python::PyRef module_function(PyMethodDef& definition) noexcept;

/// Creates the heap type of the PyType_Spec `definition`, stores the attributes that
/// `make_attributes(type)` returns (they may be instances of the new type) in its dictionary,
/// and tells the interpreter the dictionary changed. `make_attributes` returns nothing, with a
/// Python error set, on failure.
/// Returns the new type, or null with a Python error set.
template <class MakeAttributes>
python::PyRef make_heap_type(PyType_Spec& definition, MakeAttributes make_attributes) noexcept {
    python::PyRef type = python::PyRef::steal(PyType_FromSpec(&definition));
    if (!type) return type;
    auto* the_type = reinterpret_cast<PyTypeObject*>(type.get());
    std::optional<std::vector<ClassAttribute>> attributes;
    try {
        attributes = make_attributes(the_type);
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    }
    if (!attributes) return python::PyRef();
    for (const ClassAttribute& attribute : *attributes) {
        if (!attribute.value ||
            PyDict_SetItemString(the_type->tp_dict, attribute.name, attribute.value.get()) != 0) {
            return python::PyRef();
        }
    }
    PyType_Modified(the_type);
    return type;
}

/// The heap type of `definition`, a class without class attributes. Null with a Python error
/// set.
inline python::PyRef make_heap_type(PyType_Spec& definition) noexcept {
    return make_heap_type(definition, [](PyTypeObject*) {
        return std::optional(std::vector<ClassAttribute>());
    });
}

}  // namespace ordavin::binding
