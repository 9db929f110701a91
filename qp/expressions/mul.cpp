// Products of affine expressions, the only way quadratic terms arise.
#include "qp/expressions/mul.hpp"

#include <algorithm>

namespace qp {

namespace {

// (A, u) * (B, v) = sum a_i b_j v_i v_j + u sum b_j v_j + v sum a_i v_i + u v. Pairs are keyed
// with the smaller index first, so v_i v_j and v_j v_i accumulate in one entry.
QuadraticExpression multiply(const AffineExpression& a, const AffineExpression& b) {
    // A square has k(k + 1)/2 pairs and k variables; a product of distinct operands at most
    // |A| * |B| pairs and |A| + |B| variables.
    const bool square = &a == &b;
    const std::size_t na = a.coefficients.size();
    const std::size_t nb = b.coefficients.size();
    QuadraticExpression result;
    result.quadratic_coefficients.reserve(square ? na * (na + 1) / 2 : na * nb);
    for (const auto& [i, alpha] : a.coefficients) {
        for (const auto& [j, beta] : b.coefficients) {
            result.quadratic_coefficients.add(VariablePair{std::min(i, j), std::max(i, j)},
                                              beta * alpha);
        }
    }

    const double u = a.constant;
    const double v = b.constant;
    AffineExpression& linear = result.linear;
    linear.coefficients.reserve(square ? na : na + nb);
    for (const auto& [j, beta] : b.coefficients) linear.coefficients.insert_new(j, beta * u);
    for (const auto& [i, alpha] : a.coefficients) linear.coefficients.add(i, alpha * v);
    linear.constant = u * v;
    return result;
}

}  // namespace

AffineExpression operator*(double c, Variable v) {
    AffineExpression expression;
    expression.coefficients.insert_new(v.index, c);
    return expression;
}

QuadraticExpression operator*(AffineExpression a, const AffineExpression& b) {
    return multiply(a, b);
}

QuadraticExpression AffineExpression::square() const {
    return multiply(*this, *this);
}

}  // namespace qp
