/* The cost floors the benchmark compares against: the least work any converter must do.
 *
 * read_pairs(list)     walks a list of [x, y] pairs with PySequence_Fast + PyFloat_AsDouble
 * read_floats(list)    walks a flat list of numbers with PyFloat_AsDouble
 * build_pairs(n)       builds a list of n two-element [x, y] lists of new floats, with the
 *                      cyclic collector held off meanwhile (as ordavin does)
 * build_floats(n)      builds a list of n new floats
 * linear_pass(buffer)  one linear pass over a float64 buffer: the running sum of its
 *                      consecutive distances, read as (x, y) pairs
 *
 * Compiled and imported by bench/floors.py. */
#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <math.h>

static PyObject* read_pairs(PyObject* self, PyObject* list) {
    (void)self;
    PyObject* fast = PySequence_Fast(list, "a sequence is needed");
    if (fast == NULL) return NULL;
    double sum = 0.0;
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(fast);
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* pair = PySequence_Fast(PySequence_Fast_GET_ITEM(fast, i), "a pair is needed");
        if (pair == NULL || PySequence_Fast_GET_SIZE(pair) != 2) {
            Py_XDECREF(pair);
            Py_DECREF(fast);
            return NULL;
        }
        sum += PyFloat_AsDouble(PySequence_Fast_GET_ITEM(pair, 0));
        sum += PyFloat_AsDouble(PySequence_Fast_GET_ITEM(pair, 1));
        Py_DECREF(pair);
    }
    Py_DECREF(fast);
    if (PyErr_Occurred()) return NULL;
    return PyFloat_FromDouble(sum);
}

static PyObject* read_floats(PyObject* self, PyObject* list) {
    (void)self;
    PyObject* fast = PySequence_Fast(list, "a sequence is needed");
    if (fast == NULL) return NULL;
    double sum = 0.0;
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(fast);
    for (Py_ssize_t i = 0; i < n; ++i) sum += PyFloat_AsDouble(PySequence_Fast_GET_ITEM(fast, i));
    Py_DECREF(fast);
    if (PyErr_Occurred()) return NULL;
    return PyFloat_FromDouble(sum);
}

static PyObject* build_pairs(PyObject* self, PyObject* count) {
    (void)self;
    const Py_ssize_t n = PyLong_AsSsize_t(count);
    if (n < 0) return NULL;
    const int was_enabled = PyGC_Disable();
    PyObject* list = PyList_New(n);
    if (list == NULL) goto fail;
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* pair = PyList_New(2);
        if (pair == NULL) goto fail;
        PyList_SET_ITEM(list, i, pair);
        PyObject* x = PyFloat_FromDouble(0.5 * (double)i);
        if (x == NULL) goto fail;
        PyList_SET_ITEM(pair, 0, x);
        PyObject* y = PyFloat_FromDouble(0.25 * (double)i);
        if (y == NULL) goto fail;
        PyList_SET_ITEM(pair, 1, y);
    }
    if (was_enabled) PyGC_Enable();
    return list;
fail:
    Py_XDECREF(list);
    if (was_enabled) PyGC_Enable();
    return NULL;
}

static PyObject* build_floats(PyObject* self, PyObject* count) {
    (void)self;
    const Py_ssize_t n = PyLong_AsSsize_t(count);
    if (n < 0) return NULL;
    PyObject* list = PyList_New(n);
    if (list == NULL) return NULL;
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* value = PyFloat_FromDouble(0.5 * (double)i);
        if (value == NULL) {
            Py_DECREF(list);
            return NULL;
        }
        PyList_SET_ITEM(list, i, value);
    }
    return list;
}

static PyObject* linear_pass(PyObject* self, PyObject* object) {
    (void)self;
    Py_buffer view;
    if (PyObject_GetBuffer(object, &view, PyBUF_C_CONTIGUOUS) != 0) return NULL;
    const double* v = (const double*)view.buf;
    const Py_ssize_t n = view.len / (Py_ssize_t)(2 * sizeof(double));
    double total = 0.0;
    for (Py_ssize_t i = 1; i < n; ++i) {
        const double dx = v[2 * i] - v[2 * i - 2];
        const double dy = v[2 * i + 1] - v[2 * i - 1];
        total += sqrt(dx * dx + dy * dy);
    }
    PyBuffer_Release(&view);
    return PyFloat_FromDouble(total);
}

static PyMethodDef methods[] = {
    {"read_pairs", read_pairs, METH_O, NULL},
    {"read_floats", read_floats, METH_O, NULL},
    {"build_pairs", build_pairs, METH_O, NULL},
    {"build_floats", build_floats, METH_O, NULL},
    {"linear_pass", linear_pass, METH_O, NULL},
    {NULL, NULL, 0, NULL},
};

static struct PyModuleDef module = {PyModuleDef_HEAD_INIT, "_ordavin_floors", NULL, -1, methods};

PyMODINIT_FUNC PyInit__ordavin_floors(void) { return PyModule_Create(&module); }
