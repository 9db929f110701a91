// Translation of a quadratic objective into the solver's P matrix and q vector.
#include "qp/expressions/quadratic_expression.hpp"

#include "qp/util/csc_matrix_triplets_builder.hpp"

namespace qp {

namespace {

CscMatrix quadratic_matrix(const QuadraticExpression::QuadraticCoefficients& coefficients,
                           std::uint64_t n, bool lower_triangle_too) {
    if (coefficients.empty()) return CscMatrix::spalloc(n, n);
    CscMatrixTripletsBuilder builder(n, n);
    builder.reserve(coefficients.size() * (lower_triangle_too ? 2 : 1));
    for (const auto& [pair, weight] : coefficients) {
        if (pair.first == pair.second) {
            // 1/2 x'Px counts the diagonal once and halves it.
            builder.add_triplet(pair.first, pair.first, 2.0 * weight);
        } else {
            // A mixed term appears twice in x'Px, (i, j) and (j, i), and is halved once.
            // The layer stores the smaller index first, so this entry is the upper one.
            builder.add_triplet(pair.first, pair.second, weight);
            if (lower_triangle_too) builder.add_triplet(pair.second, pair.first, weight);
        }
    }
    return std::move(builder).build();
}

}  // namespace

CscMatrix QuadraticExpression::quadratic_as_csc(std::uint64_t n) const {
    return quadratic_matrix(quadratic_coefficients, n, true);
}

CscMatrix QuadraticExpression::quadratic_as_upper_csc(std::uint64_t n) const {
    return quadratic_matrix(quadratic_coefficients, n, false);
}

std::vector<double> QuadraticExpression::linear_as_vector(std::uint64_t n) const {
    std::vector<double> q(n, 0.0);
    for (const auto& [index, weight] : linear.coefficients) q.at(index) += weight;
    return q;
}

}  // namespace qp
