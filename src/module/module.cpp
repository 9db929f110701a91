// The module's entry point: creates `ordavin` and registers Path and ResamplingType.
#include <Python.h>

#include "binding/boundary.hpp"
#include "binding/scipy_lapack.hpp"
#include "python/py_ref.hpp"
#include "module/path_object.hpp"
#include "module/resampling_type_object.hpp"

namespace {

using ordavin::python::PyRef;

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "ordavin",
    "Useful tools for working with paths",
    -1,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

/// Appends `name` to the module's __all__ (creating it when absent), then sets the attribute.
bool add_class(PyObject* module, const char* name, PyObject* type) {
    if (type == nullptr) return false;
    PyRef all = PyRef::steal(PyObject_GetAttrString(module, "__all__"));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
        PyErr_Clear();
        all = PyRef::steal(PyList_New(0));
        if (!all || PyObject_SetAttrString(module, "__all__", all.get()) != 0) return false;
    }
    PyRef text = PyRef::steal(PyUnicode_FromString(name));
    if (!text || PyList_Append(all.get(), text.get()) != 0) return false;
    return PyObject_SetAttrString(module, name, type) == 0;
}

bool initialised = false;

}  // namespace

PyMODINIT_FUNC PyInit_ordavin() {
    return ordavin::binding::guarded([]() -> PyObject* {
        if (initialised) {
            PyErr_SetString(PyExc_ImportError,
                            "ordavin can only be initialised once per interpreter process");
            return nullptr;
        }
        PyRef module = PyRef::steal(PyModule_Create(&module_definition));
        if (!module) return nullptr;
        if (!add_class(module.get(), "Path", ordavin::path::path_class()) ||
            !add_class(module.get(), "ResamplingType", ordavin::path::resampling_type_class())) {
            return nullptr;
        }
        // The circle fit finds scipy's LAPACK on its first fit, not here.
        ordavin::util::set_dgesvd_resolver(&ordavin::binding::scipy_dgesvd);
        initialised = true;
        return module.release();
    });
}
