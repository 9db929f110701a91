// Addition of affine and quadratic expressions.
#include "qp/expressions/add.hpp"

namespace qp {

AffineExpression& operator+=(AffineExpression& left, const AffineExpression& right) {
    left.coefficients.add_all(right.coefficients);
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
    left.quadratic_coefficients.add_all(right.quadratic_coefficients);
    left.linear += right.linear;
    return left;
}

}  // namespace qp
