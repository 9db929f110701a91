// Reading numbers and points out of Python objects, without the argument prefix.
#include "binding/item_reading.hpp"

#include "binding/conversions.hpp"
#include "python/py_ref.hpp"

namespace ordavin::binding {

using python::PyRef;

void raise_sequence_expected(PyObject* object) {
    raise_cannot_convert(object, "Sequence");
}

bool read_plain_number(PyObject* object, double& value) {
    if (PyFloat_CheckExact(object)) {
        value = PyFloat_AS_DOUBLE(object);
        return true;
    }
    return false;
}

bool read_number(PyObject* object, double& value) {
    if (read_plain_number(object, value)) return true;
    value = PyFloat_AsDouble(object);
    return !(value == -1.0 && PyErr_Occurred());
}

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

}  // namespace ordavin::binding
