// Turning results of the path code into new Python objects.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "python/py_ref.hpp"
#include "util/point.hpp"

namespace ordavin::binding {

/// A new list of `count` entries, each a new reference made by `make(i)` (null on failure).
template <class Make>
python::PyRef build_list(std::size_t count, Make make) noexcept {
    python::PyRef list = python::PyRef::steal(PyList_New(static_cast<Py_ssize_t>(count)));
    if (!list) return list;
    for (std::size_t i = 0; i < count; ++i) {
        PyObject* item = make(i);
        if (item == nullptr) return python::PyRef();
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
    }
    return list;
}

// Each builder returns a new reference, or a null python::PyRef with a Python error set.

python::PyRef to_python(double value) noexcept;
python::PyRef to_python(std::uint64_t value) noexcept;
/// A list of floats.
python::PyRef to_python(std::span<const double> values) noexcept;
/// A list of two-element [x, y] lists.
python::PyRef to_python(std::span<const Point> points) noexcept;

inline python::PyRef to_python(const std::vector<double>& values) noexcept {
    return to_python(std::span<const double>(values));
}
inline python::PyRef to_python(const std::vector<Point>& points) noexcept {
    return to_python(std::span<const Point>(points));
}
inline python::PyRef to_python(python::PyRef object) noexcept {
    return object;
}

/// None for an empty optional. Takes the result over rather than copying it: a copy (of a
/// whole Path) could fail to allocate here, where nothing may throw.
template <class T>
python::PyRef to_python(std::optional<T>&& value) noexcept {
    if (!value) return python::PyRef::borrow(Py_None);
    return to_python(std::move(*value));
}

}  // namespace ordavin::binding
