// A compressed-sparse-column matrix, the form in which the solver takes P and A.
#pragma once

#include <cstdint>
#include <vector>

namespace qp {

/// m x n matrix in compressed-sparse-column form: the entries of column j are at positions
/// colptr[j] <= p < colptr[j + 1] of rowval (their rows, increasing) and nzval (their values).
struct CscMatrix {
    std::uint64_t m = 0;  ///< number of rows
    std::uint64_t n = 0;  ///< number of columns
    std::vector<std::uint64_t> colptr;
    std::vector<std::uint64_t> rowval;
    std::vector<double> nzval;

    /// An m x n matrix without stored entries.
    static CscMatrix spalloc(std::uint64_t rows, std::uint64_t cols) {
        CscMatrix matrix;
        matrix.m = rows;
        matrix.n = cols;
        matrix.colptr.assign(static_cast<std::size_t>(cols) + 1, 0);
        return matrix;
    }

    std::size_t nnz() const noexcept { return nzval.size(); }
};

}  // namespace qp
