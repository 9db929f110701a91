// Points given as nested sequences of one shape at every level: [x, y], [[x, y], ...], and
// deeper, the shape found from the first item of each level.
#pragma once

#include <Python.h>

#include <cstddef>
#include <string>
#include <vector>

#include "util/point.hpp"

namespace ordavin::binding {

/// Points laid out in an array of shape (..., 2): the points in C order, and the shape of the
/// array without its last dimension (empty for one point).
struct PointArray {
    std::vector<Point> points;
    std::vector<std::size_t> shape;
};

/// What nested_length finds: a sequence's length, or one of these.
inline constexpr Py_ssize_t kNotNested = -1;
inline constexpr Py_ssize_t kLengthFailed = -2;

/// The length of an item that may hold further items: a sequence other than a str. kNotNested
/// for anything else, a 0-d NumPy array (whose length query fails with TypeError) included;
/// kLengthFailed, with the error set, when the length query fails otherwise.
Py_ssize_t nested_length(PyObject* item);

/// Where a walk over nested sequences of one shape stands, and the ValueError of an item that
/// nests otherwise than the first item at its depth: "inconsistent nesting in 'points':
/// points[1] holds 2 entries, while points[0] holds 1". Shared by the readers of nested points
/// and of nested numbers.
class NestingWalk {
protected:
    explicit NestingWalk(const char* name) : name_(name) {}

    /// The ValueError for an item at `depth` whose length is not the `expected` one of its
    /// depth; true, with nothing set, when it is.
    bool has_length(std::size_t depth, Py_ssize_t length, std::size_t expected) const;
    /// ValueError naming the item at the current position (at `depth`) and its model.
    bool inconsistent(std::size_t depth, const std::string& what) const;
    /// The first item at `depth`, whose shape the others must have.
    std::string reference(std::size_t depth) const;

    const char* name_;
    std::vector<Py_ssize_t> position_;
};

/// Reads one point (shape ()), a sequence of points (shape (m,)) or nested sequences of the
/// same shape at every level ((a, b, 2) gives shape (a, b)) into `out`. Each point and number
/// converts as read_point's do; nesting that differs between siblings gives ValueError naming
/// the item and the sibling it differs from ("inconsistent nesting in 'points': ..."). False
/// with an error set, without the argument prefix. Throws std::bad_alloc.
bool read_nested_points(PyObject* object, const char* name, PointArray& out);

}  // namespace ordavin::binding
