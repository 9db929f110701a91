// The module's entry point: creates `ordavin` and registers Path and ResamplingType.
#include <Python.h>

#include "binding/boundary.hpp"
#include "binding/scipy_lapack.hpp"
#include "module/path_object.hpp"
#include "module/resampling_type_object.hpp"
#include "python/py_ref.hpp"
#include "util/interruption.hpp"

namespace {

using ordavin::python::PyRef;

// A state size of 0, not -1: with -1 the interpreter copies the first module's dictionary into
// every later interpreter that imports ordavin without calling PyInit_ordavin, so a
// subinterpreter would silently share the process-wide types and handles. With 0 every import
// reaches PyInit_ordavin, which refuses all interpreters but the main one.
PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "ordavin",
    "Useful tools for working with paths",
    0,
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

/// The module, made once per process in the main interpreter and handed out again when that
/// interpreter imports it anew (after `del sys.modules["ordavin"]`, or a reload). Lives until
/// the interpreter shuts down, like the types it holds.
PyObject* the_module = nullptr;

/// Set when the interpreter that holds the module has been finalised. Its types and handles
/// are gone with it, so an embedding program that starts a new interpreter cannot have them.
bool interpreter_finalised = false;

/// Runs at the end of Py_FinalizeEx, when no Python API may be called any more.
void forget_module() {
    the_module = nullptr;
    interpreter_finalised = true;
}

}  // namespace

PyMODINIT_FUNC PyInit_ordavin() {
    return ordavin::binding::guarded([]() -> PyObject* {
        // The type objects, PanicException and the solver's cached handles belong to the main
        // interpreter; another interpreter would use them after its own objects are gone.
        if (PyInterpreterState_Get() != PyInterpreterState_Main()) {
            PyErr_SetString(PyExc_ImportError,
                            "ordavin can only be imported in the main interpreter");
            return nullptr;
        }
        if (interpreter_finalised) {
            PyErr_SetString(PyExc_ImportError, "ordavin can only be initialised once per process");
            return nullptr;
        }
        if (the_module != nullptr) return PyRef::borrow(the_module).release();
        PyRef module = PyRef::steal(PyModule_Create(&module_definition));
        if (!module) return nullptr;
        if (!add_class(module.get(), "Path", ordavin::module::path_class()) ||
            !add_class(module.get(), "ResamplingType", ordavin::module::resampling_type_class())) {
            return nullptr;
        }
        // The circle fit finds scipy's LAPACK on its first fit, not here.
        ordavin::util::set_dgesvd_resolver(&ordavin::binding::scipy_dgesvd);
        // Long computations ask this between blocks of work, so Ctrl-C stops them.
        ordavin::util::set_interruption_check(&ordavin::binding::python_signal_pending);
        if (Py_AtExit(forget_module) != 0) {
            PyErr_SetString(PyExc_ImportError,
                            "ordavin cannot register its interpreter shutdown hook");
            return nullptr;
        }
        the_module = PyRef::borrow(module.get()).release();
        return module.release();
    });
}
