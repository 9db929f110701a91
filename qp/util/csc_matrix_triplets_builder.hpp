// Collects (row, column, value) entries and turns them into a compressed-sparse-column matrix.
#pragma once

#include <cstdint>
#include <vector>

#include "qp/util/csc_matrix.hpp"

namespace qp {

/// The single door to sparse matrices: entries are recorded in any order, `build` sorts them.
class CscMatrixTripletsBuilder {
public:
    /// An empty builder for a matrix of at least num_rows x num_cols.
    CscMatrixTripletsBuilder(std::uint64_t num_rows, std::uint64_t num_cols) noexcept
        : num_rows_(num_rows), num_cols_(num_cols) {}

    void reserve(std::size_t count);

    /// Records one entry, growing the dimensions to cover it.
    void add_triplet(std::uint64_t row, std::uint64_t column, double value);

    /// The matrix: entries ordered by column, then row; entries at one position summed in the
    /// order they were recorded. Consumes the builder.
    CscMatrix build() &&;

    std::uint64_t num_rows() const noexcept { return num_rows_; }
    std::uint64_t num_cols() const noexcept { return num_cols_; }

private:
    std::vector<std::uint64_t> row_indices_;
    std::vector<std::uint64_t> column_indices_;
    std::vector<double> entry_values_;
    std::uint64_t num_rows_;
    std::uint64_t num_cols_;
};

}  // namespace qp
