// A CSC matrix expanded to rows of doubles, its invariants checked on the way.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "qp/util/csc_matrix.hpp"

namespace qp::testing {

using Dense = std::vector<std::vector<double>>;

/// Checks the CSC invariants (column pointers, rows increasing within a column), then expands
/// the matrix.
inline Dense to_dense(const CscMatrix& matrix) {
    EXPECT_EQ(matrix.colptr.size(), matrix.n + 1);
    EXPECT_EQ(matrix.rowval.size(), matrix.nzval.size());
    EXPECT_EQ(matrix.colptr.back(), matrix.nnz());
    Dense dense(matrix.m, std::vector<double>(matrix.n, 0.0));
    for (std::size_t j = 0; j < matrix.n; ++j) {
        for (std::uint64_t p = matrix.colptr[j]; p < matrix.colptr[j + 1]; ++p) {
            if (p > matrix.colptr[j]) {
                EXPECT_LT(matrix.rowval[p - 1], matrix.rowval[p]);
            }
            dense[matrix.rowval[p]][j] = matrix.nzval[p];
        }
    }
    return dense;
}

}  // namespace qp::testing
