// The Python class ResamplingType: two members, Cubic and Linear, made once.
#include "module/resampling_type_object.hpp"

#include <string>

#include "binding/boundary.hpp"
#include "binding/class_kit.hpp"
#include "binding/conversions.hpp"
#include "binding/heap_type.hpp"
#include "python/py_ref.hpp"

namespace ordavin::module {

namespace {

using path::ResamplingType;
using python::PyRef;

struct ResamplingTypeObject {
    PyObject_HEAD ResamplingType value;

    static binding::LazyClass& the_class() noexcept;
};

const char* member_name(ResamplingType value) {
    return value == ResamplingType::Cubic ? "Cubic" : "Linear";
}

ResamplingType value_of(PyObject* self) {
    return reinterpret_cast<ResamplingTypeObject*>(self)->value;
}

PyObject* refuse_construction(PyTypeObject*, PyObject*, PyObject*) noexcept {
    PyErr_SetString(PyExc_TypeError, "No constructor defined for ResamplingType");
    return nullptr;
}

bool is_member(PyObject* object) noexcept {
    return ResamplingTypeObject::the_class().has_instance(object);
}

PyObject* class_object() noexcept {
    return reinterpret_cast<PyObject*>(ResamplingTypeObject::the_class().get());
}

/// The slot functions can be reached with any object as the receiver (through another
/// extension, or ctypes); such a receiver gets the type-mismatch TypeError instead of having
/// its memory read as a member.
PyObject* refuse_receiver(PyObject* self) noexcept {
    return binding::guarded([&]() -> PyObject* {
        binding::raise_cannot_convert(self, "ResamplingType");
        return nullptr;
    });
}

PyObject* repr(PyObject* self) noexcept {
    if (!is_member(self)) return refuse_receiver(self);
    return PyUnicode_FromFormat("ResamplingType.%s", member_name(value_of(self)));
}

PyObject* as_int(PyObject* self) noexcept {
    if (!is_member(self)) return refuse_receiver(self);
    return PyLong_FromLong(static_cast<long>(value_of(self)));
}

/// == and != against members and integers; everything else is NotImplemented, so ordering
/// raises TypeError and other types compare by identity.
PyObject* richcompare(PyObject* self, PyObject* other, int op) noexcept {
    if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
    if (!is_member(self)) Py_RETURN_NOTIMPLEMENTED;
    const long mine = static_cast<long>(value_of(self));
    long theirs = 0;
    if (is_member(other)) {
        theirs = static_cast<long>(value_of(other));
    } else if (PyLong_Check(other) || PyIndex_Check(other)) {
        // Whatever __index__ raises propagates: swallowing it would hide KeyboardInterrupt,
        // SystemExit and MemoryError behind a False.
        PyRef integer = PyRef::steal(PyNumber_Index(other));
        if (!integer) return nullptr;
        int overflow = 0;
        theirs = PyLong_AsLongAndOverflow(integer.get(), &overflow);
        if (theirs == -1 && PyErr_Occurred()) return nullptr;
        if (overflow != 0) return PyBool_FromLong(op == Py_NE);
    } else {
        Py_RETURN_NOTIMPLEMENTED;
    }
    return PyBool_FromLong((mine == theirs) == (op == Py_EQ));
}

// Pickling must name an importable callable, and the class's module reads "builtins"; so a
// member is rebuilt by `ResamplingType._from_value(value)`, a plain function in the class
// dictionary, which returns the very member object that was pickled.
PyObject* from_value(PyObject*, PyObject* value) noexcept {
    const long number = PyLong_AsLong(value);
    if (number == -1 && PyErr_Occurred()) return nullptr;
    if (number != 0 && number != 1) {
        PyErr_Format(PyExc_ValueError, "%ld is not a ResamplingType value", number);
        return nullptr;
    }
    const char* name = member_name(static_cast<ResamplingType>(number));
    return PyObject_GetAttrString(class_object(), name);
}

PyMethodDef from_value_definition = {
    "ResamplingType._from_value", from_value, METH_O,
    "_from_value(value, /)\n--\n\nThe member with the given integer value (used by pickle)."};

PyObject* reduce(PyObject* self, PyObject*) noexcept {
    if (!is_member(self)) return refuse_receiver(self);
    PyRef rebuild = PyRef::steal(PyObject_GetAttrString(class_object(), "_from_value"));
    if (!rebuild) return nullptr;
    return Py_BuildValue("(O(i))", rebuild.get(), static_cast<int>(value_of(self)));
}

PyMethodDef methods[] = {
    {"__reduce__", reduce, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(refuse_construction)},
    {Py_tp_repr, reinterpret_cast<void*>(repr)},
    {Py_nb_int, reinterpret_cast<void*>(as_int)},
    {Py_tp_richcompare, reinterpret_cast<void*>(richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {Py_tp_dealloc, reinterpret_cast<void*>(binding::dealloc<ResamplingTypeObject>)},
    {Py_tp_methods, methods},
    {Py_tp_doc, const_cast<char*>("")},
    {0, nullptr},
};

PyType_Spec class_definition = {
    "builtins.ResamplingType",
    sizeof(ResamplingTypeObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    slots,
};

/// One member, an instance of the new class.
PyRef new_member(PyTypeObject* type, ResamplingType value) noexcept {
    auto* member = PyObject_New(ResamplingTypeObject, type);
    if (member == nullptr) return PyRef();
    member->value = value;
    return PyRef::steal(reinterpret_cast<PyObject*>(member));
}

binding::LazyClass& ResamplingTypeObject::the_class() noexcept {
    // Cubic is declared first.
    static binding::LazyClass resampling_type_class(class_definition, [](PyTypeObject* candidate) {
        std::vector<binding::ClassAttribute> attributes;
        for (const ResamplingType value : {ResamplingType::Cubic, ResamplingType::Linear}) {
            attributes.push_back({member_name(value), new_member(candidate, value)});
        }
        attributes.push_back({"_from_value", binding::module_function(from_value_definition)});
        return std::optional(std::move(attributes));
    });
    return resampling_type_class;
}

}  // namespace

PyObject* resampling_type_class() noexcept {
    return class_object();
}

std::optional<ResamplingType> ResamplingTypeForm::convert(PyObject* object, const char* name) {
    if (class_object() == nullptr) return std::nullopt;
    if (!is_member(object)) {
        binding::raise_cannot_convert(object, "ResamplingType");
        binding::prefix_argument_error(name);
        return std::nullopt;
    }
    return value_of(object);
}

}  // namespace ordavin::module
