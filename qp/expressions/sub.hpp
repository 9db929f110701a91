// Negation and subtraction of affine expressions, variables and floats.
#pragma once

#include "qp/expressions/affine_expression.hpp"
#include "qp/expressions/variable.hpp"

namespace qp {

/// Every coefficient and the constant with its sign flipped.
AffineExpression operator-(AffineExpression expression);

/// The expression with f subtracted from its constant.
AffineExpression operator-(AffineExpression expression, double f);

/// The coefficient of v decreased by 1.0 (kept when it becomes 0.0), or v inserted with -1.0.
AffineExpression operator-(AffineExpression expression, Variable v);

/// The negated expression with 1.0 added on v (inserted when absent).
AffineExpression operator-(Variable v, AffineExpression expression);

}  // namespace qp
