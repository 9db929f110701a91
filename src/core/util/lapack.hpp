// The LAPACK routines the numeric kernels call, reached through a replaceable function pointer.
#pragma once

namespace ordavin::util {

/// LAPACK dgesvd with the argument list of scipy.linalg.cython_lapack: every argument by
/// pointer, no hidden string lengths (single-letter job codes need none).
using DgesvdFunction = void (*)(char* jobu, char* jobvt, int* m, int* n, double* a, int* lda,
                                double* s, double* u, int* ldu, double* vt, int* ldvt,
                                double* work, int* lwork, int* info);

/// Installs the dgesvd every later fit calls. The module installs scipy's on first use; the
/// C++ tests install the system LAPACK. Passing nullptr uninstalls it.
void set_dgesvd(DgesvdFunction function) noexcept;

/// The installed dgesvd, or nullptr when none has been installed yet.
DgesvdFunction dgesvd() noexcept;

}  // namespace ordavin::util
