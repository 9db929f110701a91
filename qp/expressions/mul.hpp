// Products: a float times a variable, and an affine expression times an affine expression.
#pragma once

#include "qp/expressions/affine_expression.hpp"
#include "qp/expressions/quadratic_expression.hpp"
#include "qp/expressions/variable.hpp"

namespace qp {

/// {v -> c} with constant 0.0; the entry is kept when c is 0.0.
AffineExpression operator*(double c, Variable v);

/// The quadratic expression a * b. Every variable of a or b gets a linear entry, and every
/// pair met gets a quadratic entry, also when its value is zero.
QuadraticExpression operator*(AffineExpression a, const AffineExpression& b);

}  // namespace qp
