// Finds the LAPACK the kernels call: scipy's, through scipy.linalg.cython_lapack.
#pragma once

namespace ordavin::binding {

/// Installs scipy's dgesvd (util::set_dgesvd) unless one is installed already. Call with the
/// GIL held before running a circle fit; the first call imports scipy.linalg.cython_lapack,
/// so that importing ordavin itself does not import scipy. On failure sets ImportError and
/// throws PythonErrorAlreadySet.
void ensure_lapack();

}  // namespace ordavin::binding
