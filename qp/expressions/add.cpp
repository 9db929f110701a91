// Addition of affine and quadratic expressions.
#include "qp/expressions/add.hpp"

namespace qp {

AffineExpression& operator+=(AffineExpression& left, const AffineExpression& right) {
    for (const auto& [index, coefficient] : right.coefficients) {
        left.coefficients.add(index, coefficient);
    }
    left.constant = right.constant + left.constant;
    return left;
}

AffineExpression operator+(double f, AffineExpression expression) {
    AffineExpression constant_only;
    constant_only.constant = f;
    expression += constant_only;
    return expression;
}

QuadraticExpression& operator+=(QuadraticExpression& left, const QuadraticExpression& right) {
    for (const auto& [pair, coefficient] : right.quadratic_coefficients) {
        left.quadratic_coefficients.add(pair, coefficient);
    }
    left.linear += right.linear;
    return left;
}

}  // namespace qp
