// The Python class ResamplingType: two members, Cubic and Linear, made once.
#include "module/resampling_type_object.hpp"

#include <string>

#include "binding/access.hpp"
#include "binding/boundary.hpp"
#include "binding/conversions.hpp"
#include "python/py_ref.hpp"
#include "binding/text.hpp"

namespace ordavin::path {

namespace {

using python::PyRef;

struct ResamplingTypeObject {
    PyObject_HEAD binding::AccessCounter access;
    ResamplingType value;
};

PyTypeObject* the_class = nullptr;

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

// Formatted by the interpreter: a C++ string could fail to allocate in this noexcept slot.
PyObject* repr(PyObject* self) noexcept {
    return PyUnicode_FromFormat("ResamplingType.%s", member_name(value_of(self)));
}

PyObject* as_int(PyObject* self) noexcept {
    return PyLong_FromLong(static_cast<long>(value_of(self)));
}

/// == and != against members and integers; everything else is NotImplemented, so ordering
/// raises TypeError and other types compare by identity.
PyObject* richcompare(PyObject* self, PyObject* other, int op) noexcept {
    if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
    const long mine = static_cast<long>(value_of(self));
    long theirs = 0;
    if (PyObject_TypeCheck(other, the_class)) {
        theirs = static_cast<long>(value_of(other));
    } else if (PyLong_Check(other) || PyIndex_Check(other)) {
        PyRef integer = PyRef::steal(PyNumber_Index(other));
        if (!integer) {
            // An __index__ that fails means the operand is no integer after all.
            PyErr_Clear();
            Py_RETURN_NOTIMPLEMENTED;
        }
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
    return PyObject_GetAttrString(reinterpret_cast<PyObject*>(the_class), name);
}

PyMethodDef from_value_definition = {
    "ResamplingType._from_value", from_value, METH_O,
    "_from_value(value, /)\n--\n\nThe member with the given integer value (used by pickle)."};

PyObject* reduce(PyObject* self, PyObject*) noexcept {
    PyRef rebuild =
        PyRef::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(the_class), "_from_value"));
    if (!rebuild) return nullptr;
    return Py_BuildValue("(O(i))", rebuild.get(), static_cast<int>(value_of(self)));
}

PyMethodDef methods[] = {
    {"__reduce__", reduce, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

void dealloc(PyObject* self) noexcept {
    PyTypeObject* type = Py_TYPE(self);
    type->tp_free(self);
    Py_DECREF(type);
}

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(refuse_construction)},
    {Py_tp_repr, reinterpret_cast<void*>(repr)},
    {Py_nb_int, reinterpret_cast<void*>(as_int)},
    {Py_tp_richcompare, reinterpret_cast<void*>(richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {Py_tp_methods, methods},
    {Py_tp_doc, const_cast<char*>("")},
    {0, nullptr},
};

PyType_Spec spec = {
    "builtins.ResamplingType",
    sizeof(ResamplingTypeObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    slots,
};

/// Makes one member and stores it in the class dictionary.
bool add_member(PyTypeObject* type, ResamplingType value) {
    auto* member = PyObject_New(ResamplingTypeObject, type);
    if (member == nullptr) return false;
    member->access = {};
    member->value = value;
    PyRef owned = PyRef::steal(reinterpret_cast<PyObject*>(member));
    return PyDict_SetItemString(type->tp_dict, member_name(value), owned.get()) == 0;
}

}  // namespace

PyObject* resampling_type_class() noexcept {
    if (the_class != nullptr) return reinterpret_cast<PyObject*>(the_class);
    PyRef type = PyRef::steal(PyType_FromSpec(&spec));
    if (!type) return nullptr;
    auto* candidate = reinterpret_cast<PyTypeObject*>(type.get());
    if (!add_member(candidate, ResamplingType::Cubic) ||
        !add_member(candidate, ResamplingType::Linear)) {
        return nullptr;
    }
    PyRef module_name = PyRef::steal(PyUnicode_FromString("ordavin"));
    if (!module_name) return nullptr;
    PyRef function =
        PyRef::steal(PyCFunction_NewEx(&from_value_definition, nullptr, module_name.get()));
    if (!function || PyDict_SetItemString(candidate->tp_dict, "_from_value", function.get()) != 0) {
        return nullptr;
    }
    PyType_Modified(candidate);
    the_class = reinterpret_cast<PyTypeObject*>(type.release());
    return reinterpret_cast<PyObject*>(the_class);
}

std::optional<ResamplingType> ResamplingTypeForm::convert(PyObject* object, const char* name) {
    PyObject* type = resampling_type_class();
    if (type == nullptr) return std::nullopt;
    if (!PyObject_TypeCheck(object, reinterpret_cast<PyTypeObject*>(type))) {
        const std::string message =
            binding::concat({"'", binding::type_name_of(object),
                             "' object cannot be converted to 'ResamplingType'"});
        PyErr_SetString(PyExc_TypeError, message.c_str());
        binding::prefix_argument_error(name);
        return std::nullopt;
    }
    return value_of(object);
}

}  // namespace ordavin::path
