// The Python class Path, which owns one path record.
#pragma once

#include <Python.h>

#include "python/py_ref.hpp"
#include <variant>
#include <vector>

#include "path/circle_segments.hpp"
#include "path/path.hpp"
#include "qp/solver/solver_status.hpp"

namespace ordavin::path {

/// The Path class, created on first need and kept for the life of the process.
/// Returns a borrowed reference, or null with a Python error set.
PyObject* path_class() noexcept;

/// A new Python Path object owning `path`.
python::PyRef to_python(Path path);

// The results of path operations that only this class returns; found by argument-dependent
// lookup from the binding's result builders.

/// A list of (start, end, curvature) tuples.
python::PyRef to_python(const std::vector<CircleSegment>& segments) noexcept;

/// The smoothed path, or PanicException naming the solver's status.
python::PyRef to_python(std::variant<Path, qp::SolverStatus> result);

}  // namespace ordavin::path
