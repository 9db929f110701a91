// Triplet collection and the sort-and-sum that turns triplets into CSC form.
#include "qp/util/csc_matrix_triplets_builder.hpp"

#include <algorithm>
#include <utility>

namespace qp {

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

    // Bucket the entries by column (a counting sort, stable in recording order), then sort each
    // column by row. Stability keeps duplicates in recording order, so they are summed in it.
    std::vector<std::uint64_t>& colptr = matrix.colptr;
    for (const std::uint64_t column : column_indices_) ++colptr[column + 1];
    for (std::size_t j = 0; j < num_cols_; ++j) colptr[j + 1] += colptr[j];

    std::vector<std::pair<std::uint64_t, double>> by_column(count);
    std::vector<std::uint64_t> next(colptr.begin(), colptr.end() - 1);
    for (std::size_t p = 0; p < count; ++p) {
        by_column[next[column_indices_[p]]++] = {row_indices_[p], entry_values_[p]};
    }

    matrix.rowval.reserve(count);
    matrix.nzval.reserve(count);
    const auto by_row = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::uint64_t column_start = 0;
    for (std::size_t j = 0; j < num_cols_; ++j) {
        const auto first = by_column.begin() + static_cast<std::ptrdiff_t>(column_start);
        const auto last = by_column.begin() + static_cast<std::ptrdiff_t>(colptr[j + 1]);
        column_start = colptr[j + 1];
        // Columns of a QP hold a handful of entries: an insertion sort needs no buffer there.
        if (last - first <= 32) {
            for (auto entry = first + (first == last ? 0 : 1); entry < last; ++entry) {
                auto moving = *entry;
                auto hole = entry;
                for (; hole != first && (hole - 1)->first > moving.first; --hole) {
                    *hole = *(hole - 1);
                }
                *hole = moving;
            }
        } else {
            std::stable_sort(first, last, by_row);
        }
        colptr[j] = matrix.rowval.size();
        for (auto entry = first; entry != last; ++entry) {
            if (matrix.rowval.size() > colptr[j] && matrix.rowval.back() == entry->first) {
                matrix.nzval.back() += entry->second;
            } else {
                matrix.rowval.push_back(entry->first);
                matrix.nzval.push_back(entry->second);
            }
        }
    }
    colptr[num_cols_] = matrix.rowval.size();
    return matrix;
}

}  // namespace qp
