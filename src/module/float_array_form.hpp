// Numbers of any shape as an argument (a number, nested sequences, a NumPy array), and the
// broadcasting of two of them.
#pragma once

#include <Python.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace ordavin::module {

/// Numbers laid out in an array: their values in C order and the array's shape (empty for one
/// number), copied out of the argument when it was converted.
class FloatArray {
public:
    FloatArray() = default;
    FloatArray(std::vector<double> values, std::vector<std::size_t> shape)
        : owned_(std::move(values)), shape_(std::move(shape)) {}

    std::span<const double> values() const noexcept { return owned_; }
    const std::vector<std::size_t>& shape() const noexcept { return shape_; }

private:
    std::vector<double> owned_;
    std::vector<std::size_t> shape_;
};

/// A number (an exact float directly, anything else through the interpreter's float
/// conversion), nested sequences of numbers of one shape at every level ((a, b) gives shape
/// (a, b); one level is read as FloatListForm reads it), or an exact NumPy array of real
/// numbers of any shape, read directly. Each number converts as FloatForm's do, with the same
/// messages; nesting that differs between siblings gives ValueError.
struct FloatArrayForm {
    using Value = FloatArray;
    static std::optional<FloatArray> convert(PyObject* object, const char* name);
};

/// The shape NumPy broadcasts the shapes of `a` and `b` to; nothing, with ValueError set naming
/// both arguments, when they do not broadcast.
std::optional<std::vector<std::size_t>> broadcast_shape(const FloatArray& a, const char* a_name,
                                                        const FloatArray& b, const char* b_name);

/// The values of `array` repeated along the dimensions it broadcasts over, filling `shape`,
/// in C order. Precondition: the array's shape broadcasts to `shape`. Throws std::bad_alloc
/// when they cannot fit in memory.
std::vector<double> broadcast_values(const FloatArray& array, std::span<const std::size_t> shape);

}  // namespace ordavin::module
