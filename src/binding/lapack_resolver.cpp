// Finds the LAPACK the kernels call: scipy's, through scipy.linalg.cython_lapack.
#include "binding/lapack_resolver.hpp"

#include <Python.h>

#include "python/py_ref.hpp"
#include "python/python_error.hpp"
#include "util/lapack.hpp"

namespace ordavin::binding {

using python::PyRef;
using python::PythonErrorAlreadySet;
using python::fetch_error;
using python::raise_from;


namespace {

// scipy exports each LAPACK routine as a capsule in the module's __pyx_capi__, named by its C
// signature. Taking its dgesvd uses the OpenBLAS scipy already loads (clarabel needs scipy),
// so the module links no LAPACK of its own.
util::DgesvdFunction resolve_scipy_dgesvd() {
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
    void* const pointer = PyCapsule_GetPointer(capsule.get(), PyCapsule_GetName(capsule.get()));
    if (pointer == nullptr) return nullptr;
    // The capsule's signature is dgesvd's as util::DgesvdFunction declares it.
    return reinterpret_cast<util::DgesvdFunction>(pointer);
}

}  // namespace

void ensure_lapack() {
    if (util::dgesvd() != nullptr) return;
    const util::DgesvdFunction function = resolve_scipy_dgesvd();
    if (function == nullptr) {
        // Chain the reason (scipy missing, an old scipy without the capsule) to one ImportError
        // that says what the module needs.
        raise_from(PyExc_ImportError,
                   "ordavin needs scipy (scipy.linalg.cython_lapack) for LAPACK dgesvd",
                   fetch_error());
        throw PythonErrorAlreadySet();
    }
    util::set_dgesvd(function);
}

}  // namespace ordavin::binding
