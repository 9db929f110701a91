// Converting Python arguments into the values the path code works with.
#include "binding/conversions.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "binding/item_reading.hpp"
#include "binding/nested_points.hpp"
#include "binding/numeric_buffer.hpp"
#include "binding/numpy_array.hpp"
#include "binding/text.hpp"
#include "python/py_ref.hpp"
#include "python/python_error.hpp"
#include "util/fresh_memory.hpp"
#include "util/memory_policy.hpp"

namespace ordavin::binding {

using python::fetch_error;
using python::FetchedError;
using python::PyRef;

namespace {

constexpr const char* kUnknownTypeName = "<failed to extract type name>";

/// Conversions of other sequence types trust __len__ only this far when reserving: a lying
/// length must not become a huge allocation.
constexpr Py_ssize_t kMaxTrustedReservation = 1 << 16;

bool raise_not_a_sequence(PyObject* object, const char* name) {
    raise_sequence_expected(object);
    return prefix_argument_error(name);
}

bool refuse_str(PyObject* object, const char* name) {
    if (!PyUnicode_Check(object)) return false;
    PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
    return !prefix_argument_error(name);
}

/// An exact NumPy array, array.array or memoryview of real numbers of shape (n,) for numbers or
/// (n, 2) for points, read directly whatever its element type, byte order and strides. Returns false, with no error set, for
/// anything else, which is then read as any other sequence.
template <class Element>
bool read_numeric_array(PyObject* object, std::vector<Element>& out) {
    const std::optional<NumericBuffer> buffer = NumericBuffer::of(object);
    if (!buffer) return false;
    const std::span<const Py_ssize_t> shape = buffer->shape();
    if constexpr (std::is_same_v<Element, Point>) {
        if (shape.size() != 2 || shape[1] != 2) return false;
        out = buffer->points();
    } else {
        if (shape.size() != 1) return false;
        out = buffer->values();
    }
    return true;
}

/// The shared walk of the two list forms: reserve, then convert item by item through
/// `read_item`, which reports failures without the argument prefix.
template <class Element, class ReadItem>
std::optional<std::vector<Element>> convert_list(PyObject* object, const char* name,
                                                 ReadItem read_item) {
    if (refuse_str(object, name)) return std::nullopt;
    if (!PySequence_Check(object)) {
        raise_not_a_sequence(object, name);
        return std::nullopt;
    }
    std::vector<Element> values;
    auto fail = [&]() -> std::optional<std::vector<Element>> {
        prefix_argument_error(name);
        return std::nullopt;
    };

    if (PyList_CheckExact(object) || PyTuple_CheckExact(object)) {
        // A list may change while its items are converted (a __float__ that clears it), so
        // its size is read again before every item and each item is held while converted,
        // exactly as the list's own iterator would behave.
        util::reserve_fresh(values, static_cast<std::size_t>(PySequence_Fast_GET_SIZE(object)));
        for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(object); ++i) {
            PyRef item = PyRef::borrow(PySequence_Fast_GET_ITEM(object, i));
            Element value;
            if (!read_item(item.get(), value)) return fail();
            values.push_back(value);
        }
        return values;
    }
    if (read_numeric_array(object, values)) return values;

    const Py_ssize_t length = PyObject_Size(object);
    if (length < 0) {
        PyErr_Clear();
    } else {
        values.reserve(static_cast<std::size_t>(std::min(length, kMaxTrustedReservation)));
    }
    PyRef iterator = PyRef::steal(PyObject_GetIter(object));
    if (!iterator) return fail();
    while (PyRef item = PyRef::steal(PyIter_Next(iterator.get()))) {
        Element value;
        if (!read_item(item.get(), value)) return fail();
        values.push_back(value);
    }
    if (PyErr_Occurred()) return fail();
    return values;
}

}  // namespace

std::string type_name_of(PyObject* object) {
    PyRef name = PyRef::steal(
        PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__qualname__"));
    const char* text = name && PyUnicode_Check(name.get()) ? PyUnicode_AsUTF8(name.get()) : nullptr;
    if (text == nullptr) {
        PyErr_Clear();
        return kUnknownTypeName;
    }
    return text;
}

bool raise_cannot_convert(PyObject* object, const char* target) {
    const std::string type_name = object != nullptr ? type_name_of(object) : kUnknownTypeName;
    PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to '%s'", type_name.c_str(),
                 target);
    return false;
}

bool prefix_argument_error(const char* name) noexcept {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) return false;
    const FetchedError error = fetch_error();
    if (!error.value) return false;

    PyRef text = PyRef::steal(PyObject_Str(error.value.get()));
    if (!text) return false;
    PyRef message = PyRef::steal(PyUnicode_FromFormat("argument '%s': %U", name, text.get()));
    if (!message) return false;
    PyRef replacement = PyRef::steal(PyObject_CallOneArg(PyExc_TypeError, message.get()));
    if (!replacement) return false;
    // PyException_GetCause returns a new reference, PyException_SetCause steals one.
    if (PyObject* cause = PyException_GetCause(error.value.get())) {
        PyException_SetCause(replacement.get(), cause);
    }
    PyErr_SetObject(PyExc_TypeError, replacement.get());
    return false;
}

std::optional<double> FloatForm::convert(PyObject* object, const char* name) {
    double value = 0.0;
    if (read_number(object, value)) return value;
    prefix_argument_error(name);
    return std::nullopt;
}

std::optional<std::uint64_t> IndexForm::convert(PyObject* object, const char* name) {
    PyRef integer =
        PyLong_Check(object) ? PyRef::borrow(object) : PyRef::steal(PyNumber_Index(object));
    if (!integer) {
        prefix_argument_error(name);
        return std::nullopt;
    }
    // Negative values and values beyond 64 bits raise OverflowError, which is not prefixed.
    const unsigned long long value = PyLong_AsUnsignedLongLong(integer.get());
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        prefix_argument_error(name);
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(value);
}

std::optional<std::vector<double>> FloatListForm::convert(PyObject* object, const char* name) {
    return convert_list<double>(object, name, read_number);
}

std::vector<double> FloatColumn::take() {
    if (array) return array->values();
    return std::move(values);
}

std::optional<FloatColumn> FloatColumnForm::convert(PyObject* object, const char* name) {
    FloatColumn column;
    if (std::optional<NumericBuffer> buffer = NumericBuffer::of(object)) {
        if (buffer->shape().size() == 1) {
            column.values = buffer->values();
            column.from_array = true;
            return column;
        }
    }
    std::optional<std::vector<double>> values = FloatListForm::convert(object, name);
    if (!values) return std::nullopt;
    column.values = std::move(*values);
    return column;
}

std::optional<FloatColumn> LastFloatColumnForm::convert(PyObject* object, const char* name) {
    if (std::optional<NumericBuffer> buffer = NumericBuffer::of(object)) {
        if (buffer->shape().size() == 1) {
            FloatColumn column;
            column.array = std::make_shared<NumericBuffer>(std::move(*buffer));
            column.from_array = true;
            return column;
        }
    }
    return FloatColumnForm::convert(object, name);
}

std::optional<std::vector<Point>> paired_points(const FloatColumn& x, const FloatColumn& y) {
    if (!x.from_array || x.array || !y.array ||
        static_cast<std::size_t>(y.array->shape()[0]) != x.values.size()) {
        return std::nullopt;
    }
    return y.array->points_beside(x.values);
}

std::optional<Point> PointForm::convert(PyObject* object, const char* name) {
    Point point;
    if (read_point(object, point)) return point;
    prefix_argument_error(name);
    return std::nullopt;
}

std::optional<std::vector<Point>> PointListForm::convert(PyObject* object, const char* name) {
    return convert_list<Point>(object, name, read_point);
}

namespace {

/// Whether `object` is a NumPy array or an instance of a subclass of it (its type's method
/// resolution order names numpy.ndarray), told without importing NumPy.
bool is_numpy_array(PyObject* object) {
    PyObject* order = Py_TYPE(object)->tp_mro;
    if (order == nullptr || !PyTuple_Check(order)) return false;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(order); ++i) {
        const auto* type = reinterpret_cast<PyTypeObject*>(PyTuple_GET_ITEM(order, i));
        if (std::string_view(type->tp_name) == "numpy.ndarray") return true;
    }
    return false;
}

/// Whether NumPy reads `object` as an array of its own making (a pandas frame or series, an
/// object with __array__ or an array interface) rather than by iterating it. Lists, tuples,
/// strings and NumPy arrays are read as they are: a subclass of the array, whose items may
/// mean something else, item by item.
bool converts_through_numpy(PyObject* object) {
    if (PyList_CheckExact(object) || PyTuple_CheckExact(object) || PyUnicode_Check(object) ||
        is_numpy_array(object)) {
        return false;
    }
    // As NumPy looks them up: __array__ on the type, the interfaces on the object itself.
    auto* type = reinterpret_cast<PyObject*>(Py_TYPE(object));
    return PyObject_HasAttrString(type, "__array__") == 1 ||
           PyObject_HasAttrString(object, "__array_interface__") == 1 ||
           PyObject_HasAttrString(object, "__array_struct__") == 1;
}

/// The points of an array of real numbers, whose shape must be (..., 2).
std::optional<PointArray> points_of(const NumericBuffer& buffer, const char* name) {
    const std::span<const Py_ssize_t> shape = buffer.shape();
    if (shape.empty() || shape.back() != 2) {
        std::string given = "(";
        for (std::size_t d = 0; d < shape.size(); ++d) {
            given += concat({d == 0 ? "" : ", ", std::to_string(shape[d])});
        }
        given += shape.size() == 1 ? ",)" : ")";
        PyErr_Format(PyExc_ValueError, "expected '%s' of shape (..., 2), got shape %s", name,
                     given.c_str());
        return std::nullopt;
    }
    PointArray result;
    result.shape.assign(shape.begin(), shape.end() - 1);
    result.points = buffer.points();
    return result;
}

}  // namespace

std::optional<PointArray> PointArrayForm::convert(PyObject* object, const char* name) {
    if (const std::optional<NumericBuffer> buffer = NumericBuffer::of(object)) {
        return points_of(*buffer, name);
    }
    if (converts_through_numpy(object)) {
        // Frames, series and other array-likes become arrays, as numpy.asarray makes them; one
        // of Python objects (pandas' nullable columns) is asked for as float64, missing
        // values becoming NaN.
        PyRef array = as_real_array(object);
        if (!array) {
            prefix_argument_error(name);
            return std::nullopt;
        }
        if (const std::optional<NumericBuffer> buffer = NumericBuffer::of(array.get())) {
            return points_of(*buffer, name);
        }
    }
    // Anything else, arrays of other dtypes included, is read item by item, so that it fails
    // as the same items given one by one would.
    PointArray result;
    if (read_nested_points(object, name, result)) return result;
    prefix_argument_error(name);
    return std::nullopt;
}

}  // namespace ordavin::binding
