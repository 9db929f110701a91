// The system LAPACK's dgesvd, installed for the kernels in place of the module's scipy one.
#pragma once

#include <cstddef>

#include "util/lapack.hpp"

extern "C" {
// gfortran's ABI: every argument by reference, then one hidden length per character argument.
void dgesvd_(const char* jobu, const char* jobvt, const int* m, const int* n, double* a,
             const int* lda, double* s, double* u, const int* ldu, double* vt, const int* ldvt,
             double* work, const int* lwork, int* info, std::size_t jobu_length,
             std::size_t jobvt_length);
}

namespace ordavin::testing {

inline void reference_dgesvd(char* jobu, char* jobvt, int* m, int* n, double* a, int* lda,
                             double* s, double* u, int* ldu, double* vt, int* ldvt, double* work,
                             int* lwork, int* info) {
    dgesvd_(jobu, jobvt, m, n, a, lda, s, u, ldu, vt, ldvt, work, lwork, info, 1, 1);
}

/// Installs the system LAPACK's dgesvd; fixtures call it in SetUp.
inline void use_reference_lapack() { util::set_dgesvd(&reference_dgesvd); }

}  // namespace ordavin::testing
