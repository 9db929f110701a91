// Turning results of the path code into new Python objects.
#include "binding/results.hpp"

#include "binding/gc_pause.hpp"

namespace ordavin::binding {

using python::PyRef;


namespace {

PyObject* new_pair(const Point& point) noexcept {
    PyRef x = PyRef::steal(PyFloat_FromDouble(point.x));
    if (!x) return nullptr;
    PyRef y = PyRef::steal(PyFloat_FromDouble(point.y));
    if (!y) return nullptr;
    PyObject* pair = PyList_New(2);
    if (pair == nullptr) return nullptr;
    PyList_SET_ITEM(pair, 0, x.release());
    PyList_SET_ITEM(pair, 1, y.release());
    return pair;
}

}  // namespace

PyRef to_python(double value) noexcept {
    return PyRef::steal(PyFloat_FromDouble(value));
}

PyRef to_python(std::uint64_t value) noexcept {
    return PyRef::steal(PyLong_FromUnsignedLongLong(value));
}

PyRef to_python(std::span<const double> values) noexcept {
    return build_list(values.size(), [&](std::size_t i) { return PyFloat_FromDouble(values[i]); });
}

PyRef to_python(std::span<const Point> points) noexcept {
    const GcPause pause;
    return build_list(points.size(), [&](std::size_t i) { return new_pair(points[i]); });
}

}  // namespace ordavin::binding
