// The Python class Path, which owns one path record.
#pragma once

#include <Python.h>

#include "python/py_ref.hpp"
#include <variant>
#include <vector>

#include "path/circle_segments.hpp"
#include "path/path.hpp"
#include "qp/solver/solver_status.hpp"

namespace ordavin::module {

/// The Path class, created on first need and kept for the life of the process.
/// Returns a borrowed reference, or null with a Python error set.
PyObject* path_class() noexcept;

}  // namespace ordavin::module

// The Python results of path types live beside those types, where the binding's result
// builders find them by argument-dependent lookup.
namespace ordavin::path {

/// A new Python Path object owning `path`.
python::PyRef to_python(Path path);


/// A list of (start, end, curvature) tuples.
python::PyRef to_python(const std::vector<CircleSegment>& segments) noexcept;

/// The smoothed path, or PanicException naming the solver's status.
python::PyRef to_python(std::variant<Path, qp::SolverStatus> result);

}  // namespace ordavin::path
