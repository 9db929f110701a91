// Points given as nested sequences of one shape at every level: [x, y], [[x, y], ...], and
// deeper, the shape found from the first item of each level.
#pragma once

#include <Python.h>

#include <cstddef>
#include <vector>

#include "util/point.hpp"

namespace ordavin::binding {

/// Points laid out in an array of shape (..., 2): the points in C order, and the shape of the
/// array without its last dimension (empty for one point).
struct PointArray {
    std::vector<Point> points;
    std::vector<std::size_t> shape;
};

/// Reads one point (shape ()), a sequence of points (shape (m,)) or nested sequences of the
/// same shape at every level ((a, b, 2) gives shape (a, b)) into `out`. Each point and number
/// converts as read_point's do; nesting that differs between siblings gives ValueError naming
/// the item and the sibling it differs from ("inconsistent nesting in 'points': ..."). False
/// with an error set, without the argument prefix. Throws std::bad_alloc.
bool read_nested_points(PyObject* object, const char* name, PointArray& out);

}  // namespace ordavin::binding
