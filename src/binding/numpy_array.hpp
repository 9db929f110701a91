// NumPy arrays over memory the module holds: read-only views of a Path, or result vectors.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "python/py_ref.hpp"
#include "util/point.hpp"

namespace ordavin::binding {

/// Imports NumPy the first time it is needed (never when the module is imported) and keeps
/// what the arrays are made with for the life of the process. False with ImportError set,
/// chained to the reason, when NumPy cannot be imported; a later call tries again.
bool load_numpy() noexcept;

// Each builder returns a new numpy.ndarray that shares the given memory (no copy), or a null
// python::PyRef with a Python error set.

/// A read-only float64 array of shape (n,) over `values`, which live in `owner` and stay
/// where they are for as long as `owner` does; the array's base chain holds `owner`.
python::PyRef read_only_array(PyObject* owner, std::span<const double> values) noexcept;
/// A read-only float64 array of shape (n, 2) over `points`, which live in `owner`.
python::PyRef read_only_array(PyObject* owner, std::span<const Point> points) noexcept;

/// A writable float64 array of shape (n,) that takes over `values`.
python::PyRef owning_array(std::vector<double> values) noexcept;
/// A writable uint64 array of shape (n,) that takes over `values`.
python::PyRef owning_array(std::vector<std::uint64_t> values) noexcept;
/// A writable int64 array of shape (n,) that takes over `values`.
python::PyRef owning_array(std::vector<std::int64_t> values) noexcept;

/// numpy.asarray(object); when that holds Python objects, object.to_numpy(dtype="float64",
/// na_value=nan) where the object has it (pandas' nullable columns: missing values become
/// NaN), else numpy.asarray(object, dtype="float64"). Null with the error raised.
python::PyRef as_real_array(PyObject* object) noexcept;

/// `array` (of shape (n,)) seen with the given shape, whose entries multiply to n: the array
/// itself for a one-dimensional shape, else a view of it (its base) from array.reshape.
python::PyRef reshaped(python::PyRef array, std::span<const std::size_t> shape) noexcept;

}  // namespace ordavin::binding
