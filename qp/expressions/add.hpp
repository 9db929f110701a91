// Addition of expressions: merges of coefficient maps and constants.
#pragma once

#include "qp/expressions/affine_expression.hpp"
#include "qp/expressions/quadratic_expression.hpp"

namespace qp {

/// Merges right into left: shared variables add their coefficients, the others are inserted;
/// then the constants add.
AffineExpression& operator+=(AffineExpression& left, const AffineExpression& right);

/// The expression with f added to its constant.
AffineExpression operator+(double f, AffineExpression expression);

/// Merges right into left: shared pairs add their coefficients, the others are inserted; then
/// the linear parts merge as affine expressions.
QuadraticExpression& operator+=(QuadraticExpression& left, const QuadraticExpression& right);

}  // namespace qp
