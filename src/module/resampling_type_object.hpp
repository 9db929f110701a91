// The Python class ResamplingType: two members, Cubic and Linear, made once.
#pragma once

#include <Python.h>

#include <optional>

#include "path/resampling_type.hpp"

namespace ordavin::module {

/// The ResamplingType class, created on first need and kept for the life of the process.
/// Returns a borrowed reference, or null with a Python error set.
PyObject* resampling_type_class() noexcept;

/// Accepts only instances of ResamplingType (not ints).
struct ResamplingTypeForm {
    using Value = path::ResamplingType;
    static std::optional<path::ResamplingType> convert(PyObject* object, const char* name);
};

}  // namespace ordavin::module
