// scipy's LAPACK dgesvd, the one the circle fit uses when the module runs in Python.
#pragma once

#include "util/lapack.hpp"

namespace ordavin::binding {

/// The dgesvd of scipy.linalg.cython_lapack (the OpenBLAS scipy already loads, so the module
/// links no LAPACK of its own). Installed with util::set_dgesvd_resolver at import and called
/// on the first fit, with the interpreter lock held. The capsule's signature is checked
/// against dgesvd's before its pointer is used. On failure sets ImportError (its cause says
/// why) and throws python::PythonErrorAlreadySet.
util::DgesvdFunction scipy_dgesvd();

}  // namespace ordavin::binding
