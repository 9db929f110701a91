// The clarabel.DefaultSettings object that carries ClarabelSettings into Python.
#pragma once

#include "python/py_ref.hpp"
#include "qp/solver/clarabel/clarabel_solver.hpp"

namespace qp {

/// A new clarabel.DefaultSettings with every field set from `settings` (imports clarabel on
/// first use). Throws ordavin::python::PythonErrorAlreadySet on a Python failure.
ordavin::python::PyRef make_python_settings(const ClarabelSettings& settings);

}  // namespace qp
