// Reading numbers and points out of Python objects: the readings every conversion shares,
// reporting failures without the argument prefix, which the conversion adds.
#pragma once

#include <Python.h>

#include "util/point.hpp"

namespace ordavin::binding {

/// Sets TypeError "'{T}' object cannot be converted to 'Sequence'".
void raise_sequence_expected(PyObject* object);

/// Reads a number that cannot run Python code while being read (an exact float); false, with
/// no error set, for anything else.
bool read_plain_number(PyObject* object, double& value);

/// The interpreter's float conversion (__float__, __index__); false with an error set.
bool read_number(PyObject* object, double& value);

/// A sequence of exactly two numbers; false with an error set.
bool read_point(PyObject* object, Point& point);

}  // namespace ordavin::binding
