// The Python class PathArrays: a Path seen through NumPy arrays that share its memory.
#pragma once

#include <Python.h>

#include "binding/access.hpp"
#include "path/path.hpp"
#include "python/py_ref.hpp"

namespace ordavin::module {

/// A new PathArrays view of the Python Path object `owner`, whose record is `record` and whose
/// access counter is `access`; the view holds a strong reference to `owner`, so both stay
/// valid for its life. Imports NumPy on first use: ImportError (saying how to install it)
/// when it is missing. Null with a Python error set on failure.
python::PyRef path_arrays_of(PyObject* owner, const path::Path& record,
                             binding::AccessCounter& access);

}  // namespace ordavin::module
