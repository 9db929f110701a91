// Converting Python arguments into the values the path code works with.
#include "binding/conversions.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "python/py_ref.hpp"
#include "python/python_error.hpp"
#include "binding/text.hpp"
#include "util/fresh_memory.hpp"

namespace ordavin::binding {

using python::PyRef;
using python::fetch_error;
using python::FetchedError;


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

/// Whether the object's type is exactly one whose buffer is its content: a NumPy array, an
/// array.array or a memoryview. A subclass may give its items another meaning (a masked
/// array's masked values, np.matrix's rows, an overridden __iter__), so it is iterated.
bool exposes_its_items_as_buffer(PyObject* object) noexcept {
    if (PyMemoryView_Check(object)) return Py_IS_TYPE(object, &PyMemoryView_Type);
    const std::string_view type_name = Py_TYPE(object)->tp_name;
    return type_name == "numpy.ndarray" || type_name == "array.array";
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
    // writes it again.
    util::reserve_fresh(out, count);
    const auto* first = static_cast<const Element*>(view.buf);
    out.insert(out.end(), first, first + count);
    PyBuffer_Release(&view);
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

std::optional<Point> PointForm::convert(PyObject* object, const char* name) {
    Point point;
    if (read_point(object, point)) return point;
    prefix_argument_error(name);
    return std::nullopt;
}

std::optional<std::vector<Point>> PointListForm::convert(PyObject* object, const char* name) {
    return convert_list<Point>(object, name, 2, read_point);
}

}  // namespace ordavin::binding
