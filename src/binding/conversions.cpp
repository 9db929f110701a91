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

#include "binding/numeric_buffer.hpp"
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

void raise_sequence_expected(PyObject* object) {
    raise_cannot_convert(object, "Sequence");
}

bool raise_not_a_sequence(PyObject* object, const char* name) {
    raise_sequence_expected(object);
    return prefix_argument_error(name);
}

bool refuse_str(PyObject* object, const char* name) {
    if (!PyUnicode_Check(object)) return false;
    PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
    return !prefix_argument_error(name);
}

/// Reads a number that cannot run Python code while being read; false for anything else.
bool read_plain_number(PyObject* object, double& value) {
    if (PyFloat_CheckExact(object)) {
        value = PyFloat_AS_DOUBLE(object);
        return true;
    }
    return false;
}

/// The interpreter's float conversion, without the argument prefix.
bool read_number(PyObject* object, double& value) {
    if (read_plain_number(object, value)) return true;
    value = PyFloat_AsDouble(object);
    return !(value == -1.0 && PyErr_Occurred());
}

/// Converts a point without the argument prefix.
bool read_point(PyObject* object, Point& point) {
    // Fast path: an exact list or tuple of two exact floats runs no Python code.
    if ((PyList_CheckExact(object) || PyTuple_CheckExact(object)) &&
        PySequence_Fast_GET_SIZE(object) == 2) {
        PyObject** items = PySequence_Fast_ITEMS(object);
        if (read_plain_number(items[0], point.x) && read_plain_number(items[1], point.y)) {
            return true;
        }
    }
    if (!PySequence_Check(object)) {
        raise_sequence_expected(object);
        return false;
    }
    const Py_ssize_t length = PySequence_Size(object);
    if (length < 0) return false;
    if (length != 2) {
        PyErr_Format(PyExc_ValueError, "expected a sequence of length 2 (got %zd)", length);
        return false;
    }
    // Items are fetched one at a time: converting the first may run code that changes the
    // sequence, and the second fetch then reports that as the sequence itself would.
    PyRef first = PyRef::steal(PySequence_GetItem(object, 0));
    if (!first || !read_number(first.get(), point.x)) return false;
    PyRef second = PyRef::steal(PySequence_GetItem(object, 1));
    return second && read_number(second.get(), point.y);
}

/// Whether the object's type is exactly one whose buffer is its content: an array.array or a
/// memoryview (NumPy arrays have their own reader). A subclass may give its items another
/// meaning (an overridden __iter__), so it is iterated.
bool exposes_its_items_as_buffer(PyObject* object) noexcept {
    if (PyMemoryView_Check(object)) return Py_IS_TYPE(object, &PyMemoryView_Type);
    return std::string_view(Py_TYPE(object)->tp_name) == "array.array";
}

/// A C-contiguous buffer of native doubles with the given trailing dimension (0: one-dim),
/// from an object of an exact buffer type. Returns false, with no error set, for anything else.
template <class Element>
bool read_double_buffer(PyObject* object, Py_ssize_t columns, std::vector<Element>& out) {
    if (!PyObject_CheckBuffer(object) || !exposes_its_items_as_buffer(object)) return false;
    Py_buffer view;
    if (PyObject_GetBuffer(object, &view, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT) != 0) {
        PyErr_Clear();
        return false;
    }
    const std::string_view format = view.format != nullptr ? view.format : "B";
    const bool is_double = view.itemsize == sizeof(double) &&
                           (format == "d" || format == "=d" || format == "@d" ||
                            (format == "<d" && std::endian::native == std::endian::little));
    const bool shape_fits =
        columns == 0 ? view.ndim == 1 : view.ndim == 2 && view.shape[1] == columns;
    if (!is_double || !shape_fits) {
        PyBuffer_Release(&view);
        return false;
    }
    const auto count = static_cast<std::size_t>(view.shape[0]);
    // Copied straight into fresh memory: resizing first would zero every page before the copy
    // writes it again. A memoryview may start at any byte, so the elements are copied as bytes.
    util::reserve_fresh(out, count);
    const auto* first = static_cast<const char*>(view.buf);
    for (std::size_t i = 0; i < count; ++i) {
        Element element;
        std::memcpy(&element, first + i * sizeof(Element), sizeof(Element));
        out.push_back(element);
    }
    PyBuffer_Release(&view);
    return true;
}

/// An exact NumPy array of real numbers of shape (n,) for numbers or (n, 2) for points, read
/// directly whatever its dtype, byte order and strides. Returns false, with no error set, for
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
                                                 Py_ssize_t buffer_columns, ReadItem read_item) {
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
    if (read_double_buffer(object, buffer_columns, values)) return values;

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

/// What nested_length finds: a sequence's length, or one of these.
constexpr Py_ssize_t kNotNested = -1;
constexpr Py_ssize_t kLengthFailed = -2;

/// The length of an item that may hold further items: a sequence other than a str. kNotNested
/// for anything else, a 0-d NumPy array (whose length query fails with TypeError) included;
/// kLengthFailed, with the error set, when the length query fails otherwise.
Py_ssize_t nested_length(PyObject* item) {
    if (PyUnicode_Check(item) || !PySequence_Check(item)) return kNotNested;
    const Py_ssize_t length = PySequence_Size(item);
    if (length >= 0) return length;
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) return kLengthFailed;
    PyErr_Clear();
    return kNotNested;
}

/// Nested sequences of points of one shape at every level, read without the argument prefix.
/// The shape comes from the first item of each level (a level whose first item does not nest
/// is a point); every other item must then have the same shape.
class NestedPoints {
public:
    explicit NestedPoints(const char* name) : name_(name) {}

    bool read(PyObject* object, PointArray& out) {
        const Py_ssize_t length = nested_length(object);
        if (length == kLengthFailed) return false;
        if (length == kNotNested) return read_point_at(object, out);
        if (!find_shape(object, length)) return false;
        out.shape = shape_;
        util::reserve_fresh(out.points, checked_count());
        return walk(object, 0, out);
    }

private:
    bool find_shape(PyObject* object, Py_ssize_t length) {
        PyRef level = PyRef::borrow(object);
        for (;;) {
            if (shape_.size() == PyBUF_MAX_NDIM) {
                PyErr_Format(PyExc_ValueError, "'%s' is nested more than %d levels deep", name_,
                             PyBUF_MAX_NDIM);
                return false;
            }
            if (length == 0) {
                shape_.push_back(0);
                return true;
            }
            PyRef first = PyRef::steal(PySequence_GetItem(level.get(), 0));
            if (!first) return false;
            const Py_ssize_t first_length = nested_length(first.get());
            if (first_length == kLengthFailed) return false;
            if (first_length == kNotNested) return true;
            shape_.push_back(static_cast<std::size_t>(length));
            level = std::move(first);
            length = first_length;
        }
    }

    /// The number of points the shape holds; throws std::bad_alloc when they cannot fit.
    std::size_t checked_count() const {
        std::uint64_t count = 1;
        for (const std::size_t extent : shape_) {
            if (extent == 0) return 0;
            if (count > std::numeric_limits<std::uint64_t>::max() / extent) throw std::bad_alloc();
            count *= extent;
        }
        util::check_fits_in_memory(count, sizeof(Point), "points");
        return static_cast<std::size_t>(count);
    }

    bool walk(PyObject* object, std::size_t depth, PointArray& out) {
        if (depth == shape_.size()) return read_point_at(object, out);
        const Py_ssize_t length = nested_length(object);
        if (length == kLengthFailed) return false;
        const auto expected = static_cast<Py_ssize_t>(shape_[depth]);
        if (length != expected) {
            if (length == kNotNested) {
                return inconsistent(depth, concat({" is not a sequence, while ", reference(depth),
                                                   " holds ", std::to_string(expected),
                                                   expected == 1 ? " entry" : " entries"}));
            }
            return inconsistent(depth,
                                concat({" holds ", std::to_string(length), " entries, while ",
                                        reference(depth), " holds ", std::to_string(expected)}));
        }
        for (Py_ssize_t i = 0; i < length; ++i) {
            PyRef item = PyRef::steal(PySequence_GetItem(object, i));
            if (!item) return false;
            position_.push_back(i);
            if (!walk(item.get(), depth + 1, out)) return false;
            position_.pop_back();
        }
        return true;
    }

    bool read_point_at(PyObject* item, PointArray& out) {
        Point point;
        const bool plain_pair = (PyList_CheckExact(item) || PyTuple_CheckExact(item)) &&
                                PySequence_Fast_GET_SIZE(item) == 2 &&
                                read_plain_number(PySequence_Fast_GET_ITEM(item, 0), point.x) &&
                                read_plain_number(PySequence_Fast_GET_ITEM(item, 1), point.y);
        if (!plain_pair) {
            // A point whose first item is itself a sequence nests deeper than its siblings.
            const Py_ssize_t length = nested_length(item);
            if (length == kLengthFailed) return false;
            if (length > 0 && !shape_.empty()) {
                PyRef first = PyRef::steal(PySequence_GetItem(item, 0));
                if (!first) return false;
                const Py_ssize_t first_length = nested_length(first.get());
                if (first_length == kLengthFailed) return false;
                if (first_length != kNotNested) {
                    return inconsistent(
                        shape_.size(), concat({" holds sequences, while ", reference(shape_.size()),
                                               " is a point"}));
                }
            }
            if (!read_point(item, point)) return false;
        }
        out.points.push_back(point);
        return true;
    }

    /// ValueError naming the item at the current position (at `depth`) and its model.
    bool inconsistent(std::size_t depth, const std::string& what) const {
        std::string item = name_;
        for (std::size_t d = 0; d < depth; ++d) {
            item += concat({"[", std::to_string(position_[d]), "]"});
        }
        PyErr_Format(PyExc_ValueError, "inconsistent nesting in '%s': %s%s", name_, item.c_str(),
                     what.c_str());
        return false;
    }

    /// The first item at `depth`, whose shape the others must have.
    std::string reference(std::size_t depth) const {
        std::string text = name_;
        for (std::size_t d = 0; d < depth; ++d) text += "[0]";
        return text;
    }

    const char* name_;
    std::vector<std::size_t> shape_;
    std::vector<Py_ssize_t> position_;
};

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
    return convert_list<double>(object, name, 0, read_number);
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
    return convert_list<Point>(object, name, 2, read_point);
}

std::optional<PointArray> PointArrayForm::convert(PyObject* object, const char* name) {
    PointArray result;
    if (const std::optional<NumericBuffer> buffer = NumericBuffer::of(object)) {
        const std::span<const Py_ssize_t> shape = buffer->shape();
        if (!shape.empty() && shape.back() == 2) {
            result.shape.assign(shape.begin(), shape.end() - 1);
            result.points = buffer->points();
            return result;
        }
    }
    // Anything else, arrays of other shapes and dtypes included, is read item by item, so
    // that it fails as the same items given one by one would.
    if (NestedPoints(name).read(object, result)) return result;
    prefix_argument_error(name);
    return std::nullopt;
}

}  // namespace ordavin::binding
