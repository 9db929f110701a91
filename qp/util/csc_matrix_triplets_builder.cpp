// Triplet collection and the sort-and-sum that turns triplets into CSC form.
#include "qp/util/csc_matrix_triplets_builder.hpp"

#include <algorithm>
#include <utility>

namespace qp {

namespace {

// Sorts positions first..last of rows by row, stably, moving values along.
void sort_column(std::vector<std::uint64_t>& rows, std::vector<double>& values, std::size_t first,
                 std::size_t last, std::vector<std::size_t>& order) {
    // Columns of a QP hold a handful of entries: an insertion sort needs no buffer there.
    if (last - first <= 32) {
        for (std::size_t p = first + 1; p < last; ++p) {
            const std::uint64_t row = rows[p];
            const double value = values[p];
            std::size_t hole = p;
            for (; hole > first && rows[hole - 1] > row; --hole) {
                rows[hole] = rows[hole - 1];
                values[hole] = values[hole - 1];
            }
            rows[hole] = row;
            values[hole] = value;
        }
        return;
    }
    order.resize(last - first);
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = first + k;
    std::stable_sort(order.begin(), order.end(),
                     [&rows](std::size_t a, std::size_t b) { return rows[a] < rows[b]; });
    std::vector<std::uint64_t> sorted_rows(order.size());
    std::vector<double> sorted_values(order.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        sorted_rows[k] = rows[order[k]];
        sorted_values[k] = values[order[k]];
    }
    std::copy(sorted_rows.begin(), sorted_rows.end(),
              rows.begin() + static_cast<std::ptrdiff_t>(first));
    std::copy(sorted_values.begin(), sorted_values.end(),
              values.begin() + static_cast<std::ptrdiff_t>(first));
}

}  // namespace

void CscMatrixTripletsBuilder::reserve(std::size_t count) {
    row_indices_.reserve(count);
    column_indices_.reserve(count);
    entry_values_.reserve(count);
}

void CscMatrixTripletsBuilder::add_triplet(std::uint64_t row, std::uint64_t column, double value) {
    num_rows_ = std::max(num_rows_, row + 1);
    num_cols_ = std::max(num_cols_, column + 1);
    row_indices_.push_back(row);
    column_indices_.push_back(column);
    entry_values_.push_back(value);
}

CscMatrix CscMatrixTripletsBuilder::build() && {
    CscMatrix matrix = CscMatrix::spalloc(num_rows_, num_cols_);
    const std::size_t count = entry_values_.size();
    if (count == 0) return matrix;

    // Bucket the entries by column straight into the result arrays (a counting sort, stable in
    // recording order), then sort each column by row and sum entries that share a row.
    // Stability keeps duplicates in recording order, so they are summed in it.
    std::vector<std::uint64_t>& colptr = matrix.colptr;
    for (const std::uint64_t column : column_indices_) ++colptr[column + 1];
    for (std::size_t j = 0; j < num_cols_; ++j) colptr[j + 1] += colptr[j];

    std::vector<std::uint64_t>& rows = matrix.rowval;
    std::vector<double>& values = matrix.nzval;
    rows.resize(count);
    values.resize(count);
    {
        std::vector<std::uint64_t> next(colptr.begin(), colptr.end() - 1);
        for (std::size_t p = 0; p < count; ++p) {
            const std::size_t position = next[column_indices_[p]]++;
            rows[position] = row_indices_[p];
            values[position] = entry_values_[p];
        }
    }
    // The triplets are no longer needed: give their memory back before the columns are sorted.
    row_indices_ = {};
    column_indices_ = {};
    entry_values_ = {};

    std::vector<std::size_t> order;
    std::size_t kept = 0;  // entries written so far; never ahead of the column being read
    std::size_t column_start = 0;
    for (std::size_t j = 0; j < num_cols_; ++j) {
        const std::size_t first = column_start;
        const std::size_t last = colptr[j + 1];
        column_start = last;
        sort_column(rows, values, first, last, order);
        colptr[j] = kept;
        for (std::size_t p = first; p < last; ++p) {
            if (kept > colptr[j] && rows[kept - 1] == rows[p]) {
                values[kept - 1] += values[p];
            } else {
                rows[kept] = rows[p];
                values[kept] = values[p];
                ++kept;
            }
        }
    }
    colptr[num_cols_] = kept;
    rows.resize(kept);
    values.resize(kept);
    return matrix;
}

}  // namespace qp
