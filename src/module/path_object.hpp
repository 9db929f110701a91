// The Python class Path, which owns one path record.
#pragma once

#include <Python.h>

#include "python/py_ref.hpp"
#include "path/path.hpp"

namespace ordavin::path {

/// The Path class, created on first need and kept for the life of the process.
/// Returns a borrowed reference, or null with a Python error set.
PyObject* path_class() noexcept;

/// A new Python Path object owning `path`.
python::PyRef to_python(Path path);

}  // namespace ordavin::path
