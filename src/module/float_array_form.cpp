// Numbers of any shape as an argument (a number, nested sequences, a NumPy array), and the
// broadcasting of two of them.
#include "module/float_array_form.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "binding/conversions.hpp"
#include "binding/nested_points.hpp"
#include "binding/numeric_buffer.hpp"
#include "binding/text.hpp"
#include "python/py_ref.hpp"
#include "util/fresh_memory.hpp"
#include "util/memory_policy.hpp"

namespace ordavin::module {

namespace {

using binding::concat;
using binding::kLengthFailed;
using binding::kNotNested;
using binding::nested_length;
using python::PyRef;

/// Nested sequences of numbers of one shape at every level, the shape taken from the first
/// item of each level (a level whose first item does not nest holds numbers).
class NestedNumbers : binding::NestingWalk {
public:
    explicit NestedNumbers(const char* name) : NestingWalk(name) {}

    /// The shape; nothing with an error set when it cannot be read.
    std::optional<std::vector<std::size_t>> find_shape(PyObject* object, Py_ssize_t length) {
        PyRef level = PyRef::borrow(object);
        for (;;) {
            if (shape_.size() == PyBUF_MAX_NDIM) {
                PyErr_Format(PyExc_ValueError, "'%s' is nested more than %d levels deep", name_,
                             PyBUF_MAX_NDIM);
                return std::nullopt;
            }
            shape_.push_back(static_cast<std::size_t>(length));
            if (length == 0) return shape_;
            PyRef first = PyRef::steal(PySequence_GetItem(level.get(), 0));
            if (!first) return std::nullopt;
            const Py_ssize_t first_length = nested_length(first.get());
            if (first_length == kLengthFailed) return std::nullopt;
            if (first_length == kNotNested) return shape_;
            level = std::move(first);
            length = first_length;
        }
    }

    bool read(PyObject* object, std::vector<double>& out) {
        util::reserve_fresh(out, util::checked_count(std::span<const std::size_t>(shape_),
                                                     sizeof(double), "numbers"));
        return walk(object, 0, out);
    }

private:
    bool walk(PyObject* object, std::size_t depth, std::vector<double>& out) {
        if (depth == shape_.size()) {
            if (nested_length(object) != kNotNested) {
                return !PyErr_Occurred() &&
                       inconsistent(depth, concat({" is a sequence, while ", reference(depth),
                                                   " is a number"}));
            }
            const std::optional<double> value = binding::FloatForm::convert(object, name_);
            if (!value) return false;
            out.push_back(*value);
            return true;
        }
        const Py_ssize_t length = nested_length(object);
        if (length == kLengthFailed) return false;
        if (!has_length(depth, length, shape_[depth])) return false;
        for (Py_ssize_t i = 0; i < length; ++i) {
            PyRef item = PyRef::steal(PySequence_GetItem(object, i));
            if (!item) return false;
            position_.push_back(i);
            if (!walk(item.get(), depth + 1, out)) return false;
            position_.pop_back();
        }
        return true;
    }

    std::vector<std::size_t> shape_;
};

/// An exact NumPy array of real numbers of any shape, read through its buffer; nothing, with
/// no error set, for anything else, and nothing with an error set when reading fails.
std::optional<FloatArray> read_numeric_array(PyObject* object, bool& failed) {
    std::optional<binding::NumericBuffer> buffer = binding::NumericBuffer::of(object);
    if (!buffer) return std::nullopt;
    const std::span<const Py_ssize_t> extents = buffer->shape();
    std::vector<std::size_t> shape(extents.begin(), extents.end());
    if (shape.size() == 1) return FloatArray(buffer->values(), std::move(shape));
    if (shape.empty()) {
        // A 0-d array holds one number, read as float() reads it.
        const double value = PyFloat_AsDouble(object);
        if (value == -1.0 && PyErr_Occurred()) {
            failed = true;
            return std::nullopt;
        }
        return FloatArray({value}, {});
    }
    // Any other dimension: the array's own flat view (a copy where its layout needs one),
    // read as one dimension.
    PyRef flat = PyRef::steal(PyObject_CallMethod(object, "reshape", "(i)", -1));
    std::optional<binding::NumericBuffer> flat_buffer =
        flat ? binding::NumericBuffer::of(flat.get()) : std::nullopt;
    if (!flat_buffer || flat_buffer->shape().size() != 1) {
        if (!PyErr_Occurred()) {
            PyErr_SetString(PyExc_SystemError, "numpy.ndarray.reshape(-1) is not one-dimensional");
        }
        failed = true;
        return std::nullopt;
    }
    return FloatArray(flat_buffer->values(), std::move(shape));
}

}  // namespace

std::optional<FloatArray> FloatArrayForm::convert(PyObject* object, const char* name) {
    if (PyFloat_CheckExact(object)) return FloatArray({PyFloat_AS_DOUBLE(object)}, {});
    // Arrays are copied when converted, never held: converting a later argument can run code
    // that resizes an array given earlier.
    bool failed = false;
    if (std::optional<FloatArray> array = read_numeric_array(object, failed)) return array;
    if (failed) return std::nullopt;

    const Py_ssize_t length = nested_length(object);
    if (length == kLengthFailed) return std::nullopt;
    if (length == kNotNested) {
        const std::optional<double> value = binding::FloatForm::convert(object, name);
        if (!value) return std::nullopt;
        return FloatArray({*value}, {});
    }
    NestedNumbers nested(name);
    std::optional<std::vector<std::size_t>> shape = nested.find_shape(object, length);
    if (!shape) return std::nullopt;
    if (shape->size() == 1) {
        // One level: as every other list of numbers is read (array.array and memoryview
        // included), with the same messages.
        std::optional<std::vector<double>> values = binding::FloatListForm::convert(object, name);
        if (!values) return std::nullopt;
        const std::size_t count = values->size();
        return FloatArray(std::move(*values), {count});
    }
    std::vector<double> values;
    if (!nested.read(object, values)) return std::nullopt;
    return FloatArray(std::move(values), std::move(*shape));
}

std::optional<std::vector<std::size_t>> broadcast_shape(const FloatArray& a, const char* a_name,
                                                        const FloatArray& b, const char* b_name) {
    const std::vector<std::size_t>& left = a.shape();
    const std::vector<std::size_t>& right = b.shape();
    std::vector<std::size_t> shape(std::max(left.size(), right.size()));
    for (std::size_t k = 1; k <= shape.size(); ++k) {
        const std::size_t l = k <= left.size() ? left[left.size() - k] : 1;
        const std::size_t r = k <= right.size() ? right[right.size() - k] : 1;
        if (l != r && l != 1 && r != 1) {
            const auto text = [](const std::vector<std::size_t>& extents) {
                std::string out = "(";
                for (std::size_t d = 0; d < extents.size(); ++d) {
                    out += std::to_string(extents[d]);
                    if (d + 1 < extents.size() || extents.size() == 1) out += ",";
                    if (d + 1 < extents.size()) out += " ";
                }
                return out + ")";
            };
            PyErr_Format(PyExc_ValueError,
                         "'%s' of shape %s and '%s' of shape %s cannot be broadcast together",
                         a_name, text(left).c_str(), b_name, text(right).c_str());
            return std::nullopt;
        }
        shape[shape.size() - k] = l == 1 ? r : l;
    }
    return shape;
}

std::vector<double> broadcast_values(const FloatArray& array, std::span<const std::size_t> shape) {
    const std::size_t count = util::checked_count(shape, sizeof(double), "numbers");
    const std::span<const double> values = array.values();
    std::vector<double> out;
    util::reserve_fresh(out, count);
    if (count == 0) return out;
    // The array's strides in its own values, aligned to the right of `shape`; 0 along the
    // dimensions it repeats over.
    const std::vector<std::size_t>& own = array.shape();
    const std::size_t offset = shape.size() - own.size();
    std::vector<std::size_t> strides(shape.size(), 0);
    std::size_t stride = 1;
    for (std::size_t d = own.size(); d-- > 0;) {
        if (own[d] != 1) strides[offset + d] = stride;
        stride *= own[d];
    }
    // An odometer over `shape`, in C order.
    std::vector<std::size_t> position(shape.size(), 0);
    std::size_t at = 0;
    for (std::size_t produced = 0; produced < count; ++produced) {
        out.push_back(values[at]);
        for (std::size_t d = shape.size(); d-- > 0;) {
            if (++position[d] < shape[d]) {
                at += strides[d];
                break;
            }
            at -= strides[d] * (shape[d] - 1);
            position[d] = 0;
        }
    }
    return out;
}

}  // namespace ordavin::module
