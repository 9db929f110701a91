// Converting Python arguments into the values the path code works with.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "binding/nested_points.hpp"
#include "binding/numeric_buffer.hpp"
#include "util/point.hpp"

namespace ordavin::binding {

// Every conversion returns an empty optional with a Python error set when it fails. A
// TypeError is reported as "argument '{name}': " followed by the original message, with the
// original's cause carried over; other error types reach the caller unchanged.

/// The qualified name of an object's type, as used in conversion messages.
std::string type_name_of(PyObject* object);

/// Sets TypeError "'{T}' object cannot be converted to '{target}'", {T} being the qualified
/// name of the object's type ("<failed to extract type name>" for a null object or one whose
/// type name cannot be read). Always returns false. The type-mismatch error of every
/// conversion and receiver check.
bool raise_cannot_convert(PyObject* object, const char* target);

/// Replaces a pending TypeError by its "argument '{name}': ..." form. Always returns false.
bool prefix_argument_error(const char* name) noexcept;

/// An exact float is read directly; anything else goes through the interpreter's float
/// conversion (__float__, __index__).
struct FloatForm {
    using Value = double;
    static std::optional<double> convert(PyObject* object, const char* name);
};

/// An int, or an object with __index__, that fits in 64 bits unsigned.
struct IndexForm {
    using Value = std::uint64_t;
    static std::optional<std::uint64_t> convert(PyObject* object, const char* name);
};

/// A sequence (not a str) of numbers.
struct FloatListForm {
    using Value = std::vector<double>;
    static std::optional<std::vector<double>> convert(PyObject* object, const char* name);
};

/// A coordinate list as FloatListForm reads it, remembering whether it was a one-dimensional
/// NumPy array of real numbers. Only the last parameter of a call may hold such an array
/// unread (LastFloatColumnForm): nothing is converted after it, so no code can change the array
/// between its conversion and the call that reads it.
struct FloatColumn {
    std::vector<double> values;            // unless `array` is set
    std::shared_ptr<NumericBuffer> array;  // set for an array not yet read
    bool from_array = false;

    /// The values, read from the array if there is one. Throws std::bad_alloc.
    std::vector<double> take();
};

/// A coordinate list, read when converted.
struct FloatColumnForm {
    using Value = FloatColumn;
    static std::optional<FloatColumn> convert(PyObject* object, const char* name);
};

/// A coordinate list as FloatColumnForm reads it, except that a one-dimensional NumPy array of
/// real numbers is held as it is and read when the call runs: for the last parameter only.
struct LastFloatColumnForm {
    using Value = FloatColumn;
    static std::optional<FloatColumn> convert(PyObject* object, const char* name);
};

/// The points (x[i], y[i]) when x came from an array and y is an array not yet read, of the
/// same length: y goes straight into the points, without a coordinate vector of its own.
/// Nothing otherwise, and then the columns are built into a path as coordinate lists. Throws
/// std::bad_alloc.
std::optional<std::vector<Point>> paired_points(const FloatColumn& x, const FloatColumn& y);

/// A sequence of exactly two numbers.
struct PointForm {
    using Value = Point;
    static std::optional<Point> convert(PyObject* object, const char* name);
};

/// A sequence (not a str) of points.
struct PointListForm {
    using Value = std::vector<Point>;
    static std::optional<std::vector<Point>> convert(PyObject* object, const char* name);
};

/// One point ([x, y], shape ()), a sequence of points (shape (m,)), nested sequences of the
/// same shape at every level ((a, b, 2) gives shape (a, b)), or an exact NumPy array, array.array
/// or memoryview of real numbers whose last dimension is 2, read directly. Each point and each number converts as
/// the point form's do, with the same messages; nesting that differs between siblings gives
/// ValueError. An empty sequence gives no points and shape (0,).
struct PointArrayForm {
    using Value = PointArray;
    static std::optional<PointArray> convert(PyObject* object, const char* name);
};

/// None, or a value of the inner form; None means "not given".
template <class Form>
struct NoneOr {
    using Value = std::optional<typename Form::Value>;
    static std::optional<Value> convert(PyObject* object, const char* name) {
        if (object == Py_None) return Value{};
        auto value = Form::convert(object, name);
        if (!value) return std::nullopt;
        return Value{std::move(*value)};
    }
};

}  // namespace ordavin::binding
