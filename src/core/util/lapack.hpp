// The LAPACK routine the circle fit calls, found on the first fit through a replaceable resolver.
#pragma once

namespace ordavin::util {

/// LAPACK dgesvd with the argument list of scipy.linalg.cython_lapack: every argument by
/// pointer, no hidden string lengths (single-letter job codes need none).
using DgesvdFunction = void (*)(char* jobu, char* jobvt, int* m, int* n, double* a, int* lda,
                                double* s, double* u, int* ldu, double* vt, int* ldvt,
                                double* work, int* lwork, int* info);

/// Finds a dgesvd: returns it, or throws to say why there is none (its exception reaches the
/// caller of the fit unchanged).
using DgesvdResolver = DgesvdFunction (*)();

/// Installs the dgesvd every later fit calls (the C++ tests install the system LAPACK).
/// Passing nullptr uninstalls it, so that the next fit asks the resolver again.
void set_dgesvd(DgesvdFunction function) noexcept;

/// Sets how the first fit finds dgesvd when none is installed. The module sets scipy's at
/// import, without importing scipy: only the first fit that needs LAPACK does.
void set_dgesvd_resolver(DgesvdResolver resolver) noexcept;

/// The installed dgesvd; when none is installed yet, the resolver's answer, installed for the
/// next calls. Throws Panic when there is neither; rethrows what the resolver throws.
DgesvdFunction resolved_dgesvd();

}  // namespace ordavin::util
