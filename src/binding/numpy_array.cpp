// NumPy arrays over memory the module holds: read-only views of a Path, or result vectors.
#include "binding/numpy_array.hpp"

#include <cstddef>
#include <limits>
#include <type_traits>
#include <utility>

#include "binding/array_memory.hpp"
#include "python/python_error.hpp"

namespace ordavin::binding {

namespace {

using python::PyRef;

// A point is two doubles, x then y, with nothing between or after them, so a vector of
// points is an (n, 2) array of doubles.
static_assert(std::is_standard_layout_v<Point>);
static_assert(sizeof(Point) == 2 * sizeof(double) && offsetof(Point, y) == sizeof(double));

// Kept for the life of the process, as the module's classes are: the module can only be
// initialised once per process, and NumPy cannot be unloaded.
PyObject* numpy_asarray = nullptr;
PyTypeObject* numpy_ndarray = nullptr;

/// numpy.asarray of the exporter: NumPy reads the shape, the strides, the element type and
/// the read-only flag from its array interface, and makes the exporter the array's base.
PyRef array_over(PyRef exporter) noexcept {
    if (!exporter || !load_numpy()) return PyRef();
    PyRef array = PyRef::steal(PyObject_CallOneArg(numpy_asarray, exporter.get()));
    if (!array) return array;
    if (Py_TYPE(array.get()) != numpy_ndarray) {
        PyErr_SetString(PyExc_SystemError, "numpy.asarray did not return a numpy.ndarray");
        return PyRef();
    }
    return array;
}

}  // namespace

bool load_numpy() noexcept {
    if (numpy_asarray != nullptr) return true;
    PyRef numpy = PyRef::steal(PyImport_ImportModule("numpy"));
    PyRef asarray = numpy ? PyRef::steal(PyObject_GetAttrString(numpy.get(), "asarray")) : PyRef();
    PyRef ndarray =
        asarray ? PyRef::steal(PyObject_GetAttrString(numpy.get(), "ndarray")) : PyRef();
    if (ndarray && !PyType_Check(ndarray.get())) {
        PyErr_SetString(PyExc_TypeError, "numpy.ndarray is not a class");
        ndarray = PyRef();
    }
    // Only a failed import means NumPy is missing: a KeyboardInterrupt or a MemoryError
    // during the import is reported as it is.
    if (!ndarray && PyErr_ExceptionMatches(PyExc_ImportError)) {
        python::raise_from(PyExc_ImportError,
                           "Path.arrays needs NumPy; install it with: pip install numpy",
                           python::fetch_error());
        return false;
    }
    if (!ndarray) return false;
    numpy_asarray = asarray.release();
    numpy_ndarray = reinterpret_cast<PyTypeObject*>(ndarray.release());
    return true;
}

PyRef read_only_array(PyObject* owner, std::span<const double> values) noexcept {
    return array_over(export_memory(PyRef::borrow(owner), values.data(), Element::Float64,
                                    {values.size(), 0}, false));
}

PyRef read_only_array(PyObject* owner, std::span<const Point> points) noexcept {
    return array_over(export_memory(PyRef::borrow(owner), points.data(), Element::Float64,
                                    {points.size(), 2}, false));
}

PyRef owning_array(std::vector<double> values) noexcept {
    const double* data = values.data();
    const std::size_t size = values.size();
    return array_over(export_memory(std::move(values), data, Element::Float64, {size, 0}, true));
}

PyRef owning_array(std::vector<std::uint64_t> values) noexcept {
    const std::uint64_t* data = values.data();
    const std::size_t size = values.size();
    return array_over(export_memory(std::move(values), data, Element::UInt64, {size, 0}, true));
}

PyRef owning_array(std::vector<std::int64_t> values) noexcept {
    const std::int64_t* data = values.data();
    const std::size_t size = values.size();
    return array_over(export_memory(std::move(values), data, Element::Int64, {size, 0}, true));
}

PyRef as_real_array(PyObject* object) noexcept {
    if (!load_numpy()) return PyRef();
    PyRef array = PyRef::steal(PyObject_CallOneArg(numpy_asarray, object));
    if (!array) return array;
    PyRef dtype = PyRef::steal(PyObject_GetAttrString(array.get(), "dtype"));
    PyRef kind = dtype ? PyRef::steal(PyObject_GetAttrString(dtype.get(), "kind")) : PyRef();
    if (!kind) return kind;
    if (!PyUnicode_Check(kind.get()) || PyUnicode_CompareWithASCIIString(kind.get(), "O") != 0) {
        return array;
    }
    // pandas' nullable columns hold pd.NA, which float() refuses: their own to_numpy turns
    // it into NaN. Anything else is asked for as float64.
    const bool has_to_numpy = PyObject_HasAttrString(object, "to_numpy") == 1;
    PyRef convert = has_to_numpy ? PyRef::steal(PyObject_GetAttrString(object, "to_numpy"))
                                 : PyRef::borrow(numpy_asarray);
    PyRef arguments =
        has_to_numpy ? PyRef::steal(PyTuple_New(0)) : PyRef::steal(PyTuple_Pack(1, object));
    PyRef keywords = PyRef::steal(PyDict_New());
    PyRef float64 = PyRef::steal(PyUnicode_FromString("float64"));
    PyRef nan = PyRef::steal(PyFloat_FromDouble(std::numeric_limits<double>::quiet_NaN()));
    if (!convert || !arguments || !keywords || !float64 || !nan ||
        PyDict_SetItemString(keywords.get(), "dtype", float64.get()) != 0 ||
        (has_to_numpy && PyDict_SetItemString(keywords.get(), "na_value", nan.get()) != 0)) {
        return PyRef();
    }
    return PyRef::steal(PyObject_Call(convert.get(), arguments.get(), keywords.get()));
}

PyRef reshaped(PyRef array, std::span<const std::size_t> shape) noexcept {
    if (!array || shape.size() == 1) return array;
    PyRef dimensions = PyRef::steal(PyTuple_New(static_cast<Py_ssize_t>(shape.size())));
    if (!dimensions) return dimensions;
    for (std::size_t d = 0; d < shape.size(); ++d) {
        PyObject* extent = PyLong_FromSize_t(shape[d]);
        if (extent == nullptr) return PyRef();
        PyTuple_SET_ITEM(dimensions.get(), static_cast<Py_ssize_t>(d), extent);
    }
    PyRef reshape = PyRef::steal(PyObject_GetAttrString(array.get(), "reshape"));
    if (!reshape) return reshape;
    return PyRef::steal(PyObject_CallOneArg(reshape.get(), dimensions.get()));
}

}  // namespace ordavin::binding
