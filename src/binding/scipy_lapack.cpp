// scipy's LAPACK dgesvd, the one the circle fit uses when the module runs in Python.
#include "binding/scipy_lapack.hpp"

#include <Python.h>

#include <regex>
#include <string>

#include "python/py_ref.hpp"
#include "python/python_error.hpp"

namespace ordavin::binding {

namespace {

using python::PyRef;
using python::PythonErrorAlreadySet;

// The signature of util::DgesvdFunction as Cython names it, with spaces removed and scipy's
// typedef of double (a mangled name such as __pyx_t_5scipy_6linalg_13cython_lapack_d, which
// differs between scipy releases) written as double.
constexpr const char* kDgesvdSignature =
    "void(char*,char*,int*,int*,double*,int*,double*,double*,int*,double*,int*,double*,int*,"
    "int*)";

std::string normalised_signature(const char* name) {
    std::string text = std::regex_replace(name, std::regex("__pyx_t_\\w*_d\\b"), "double");
    std::string compact;
    for (const char c : text) {
        if (c != ' ') compact += c;
    }
    return compact;
}

/// The pointer in scipy's capsule; null with a Python error set on failure.
util::DgesvdFunction dgesvd_from_capsule() {
    const PyRef module = PyRef::steal(PyImport_ImportModule("scipy.linalg.cython_lapack"));
    if (!module) return nullptr;
    const PyRef table = PyRef::steal(PyObject_GetAttrString(module.get(), "__pyx_capi__"));
    if (!table) return nullptr;
    const PyRef capsule = PyRef::steal(PyMapping_GetItemString(table.get(), "dgesvd"));
    if (!capsule) return nullptr;
    if (!PyCapsule_CheckExact(capsule.get())) {
        PyErr_SetString(PyExc_TypeError, "__pyx_capi__['dgesvd'] is not a capsule");
        return nullptr;
    }
    const char* name = PyCapsule_GetName(capsule.get());
    if (name == nullptr) {
        if (!PyErr_Occurred()) {
            PyErr_SetString(PyExc_TypeError, "__pyx_capi__['dgesvd'] has no signature");
        }
        return nullptr;
    }
    // A capsule of another routine called with dgesvd's arguments would make LAPACK complain
    // about its parameters and give wrong results.
    if (normalised_signature(name) != kDgesvdSignature) {
        PyErr_Format(PyExc_TypeError,
                     "__pyx_capi__['dgesvd'] has the signature '%s', not dgesvd's", name);
        return nullptr;
    }
    void* const pointer = PyCapsule_GetPointer(capsule.get(), name);
    if (pointer == nullptr) return nullptr;
    return reinterpret_cast<util::DgesvdFunction>(pointer);
}

}  // namespace

util::DgesvdFunction scipy_dgesvd() {
    const util::DgesvdFunction function = dgesvd_from_capsule();
    if (function == nullptr) {
        // Chain the reason (scipy missing, an old scipy without the capsule, a capsule of
        // another routine) to one ImportError that says what the module needs.
        python::raise_from(PyExc_ImportError,
                           "ordavin needs scipy (scipy.linalg.cython_lapack) for LAPACK dgesvd",
                           python::fetch_error());
        throw PythonErrorAlreadySet();
    }
    return function;
}

}  // namespace ordavin::binding
